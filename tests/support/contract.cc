#include "contract.h"
#include "redirect.h"

#include <cstdio>
#include <cstring>
#include <stdexcept>
#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#else
#define VALGRIND_MAKE_MEM_DEFINED(address, size) ((void)0)
#endif

extern "C" const void *const bareio_routines[support::Routines];  // trampoline.S
extern "C" void bareio_scribble();

namespace support {
namespace {

const char *const gpr_names[16] = {"rax", "rbx", "rcx", "rdx", "rsi", "rdi", "rbp", "rsp",
                                   "r8",  "r9",  "r10", "r11", "r12", "r13", "r14", "r15"};

uint64_t splitmix(uint64_t &state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

constexpr uint64_t carry_flag = 1u, direction_flag = 1u << 10;

// The stack a routine is called on: junk (4 KiB, of which the routines use
// some hundred bytes) below its return address; above that the way back,
// then canaries, where its caller's frame would be.
constexpr std::size_t below = 4096 / 8, words = below + 1 + 256 / 8;
alignas(16) uint64_t stack[words];

}  // namespace

std::string hex(uint64_t value)
{
    char text[19];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

Rules Contract::rules_of(const void *routine)
{
    for (int which = 0; which < Routines; ++which)
        if (routine && routine == bareio_routines[which])
            return routines[which];
    if (routine == reinterpret_cast<const void *>(bareio_scribble))
        return {"bareio_scribble", bit(R11), 0, 8};
    throw std::invalid_argument("no rules for this routine");
}

Outcome check_contract(const Contract &contract, bool misaligned, uint64_t seed)
{
    Registers in{};
    in.rflags = (seed & 1) ^ misaligned;
    for (auto &value : in.gpr)
        value = splitmix(seed);
    for (auto &lanes : in.xmm)
        for (auto &lane : lanes)
            lane = splitmix(seed);
    in.gpr[RDI] = contract.rdi;
    in.gpr[RSI] = contract.rsi;
    if (contract.pass_xmm0)
        std::memcpy(&in.xmm[0][0], &contract.xmm0, sizeof contract.xmm0);
    uint64_t laid[words];
    for (auto &word : laid)
        word = splitmix(seed);
    const std::size_t at = below + misaligned;  // rsp at the call: 0 or 8 modulo 16
    laid[at] = 0;                               // the way back, as the trampoline leaves it
    std::memcpy(stack, laid, sizeof stack);

    Outcome outcome{};
    bareio_checked_call(contract.routine, &in, &outcome.out, stack + at);
    // What the routine left below rsp is stack it gave back: defined.
    VALGRIND_MAKE_MEM_DEFINED(stack, sizeof stack);

    // Plain strings, not a stream: a test may call this with no descriptor
    // to spare, and a sanitizer's checks of a stream's type open a pipe.
    std::string report;
    const unsigned may_change = contract.rules.gpr | bit(RSP);
    for (int reg = 0; reg < 16; ++reg)
        if (!(may_change & (1u << reg)) && in.gpr[reg] != outcome.out.gpr[reg])
            report += std::string(gpr_names[reg]) + " changed " + hex(in.gpr[reg]) + " -> " +
                      hex(outcome.out.gpr[reg]) + "; ";
    if (outcome.out.gpr[RSP] != 0)
        report += "rsp moved by " + hex(outcome.out.gpr[RSP]) + "; ";
    for (int reg = 0; reg < 16; ++reg)
        if (!(contract.rules.xmm & bit(reg)) &&
            std::memcmp(in.xmm[reg], outcome.out.xmm[reg], sizeof in.xmm[reg]) != 0)
            report += "xmm" + std::to_string(reg) + " changed; ";
    if (outcome.out.rflags & direction_flag)
        report += "direction flag set; ";
    const bool carry = outcome.out.rflags & carry_flag;
    if (contract.carry_out >= 0 && carry != bool(contract.carry_out))
        report += std::string("carry ") + (carry ? "set" : "clear") + " (entered " +
                  (in.rflags ? "set" : "clear") + "); ";
    const uint64_t result = contract.rules.xmm & 1 ? outcome.out.xmm[0][0] : outcome.out.gpr[RAX];
    if (contract.result_out && result != *contract.result_out)
        report += "result " + hex(result) + ", not " + hex(*contract.result_out) + "; ";
    for (std::size_t word = at; word < words; ++word)
        if (stack[word] != laid[word])
            report += "stack at rsp+" + std::to_string(8 * (word - at)) + " changed; ";
    std::size_t deepest = 0;
    while (deepest < at && stack[deepest] == laid[deepest])
        ++deepest;
    outcome.depth = 8 * (at - deepest);
    if (outcome.depth > contract.rules.depth)
        report += std::to_string(outcome.depth) + " bytes of stack used, more than the " +
                  std::to_string(contract.rules.depth) + " of " + contract.rules.name + "; ";
    outcome.violations = report;
    return outcome;
}

std::string check_both_alignments(const Contract &contract)
{
    std::string report;
    for (bool misaligned : {false, true}) {
        std::optional<StdinFeed> feed;
        if (contract.input_bytes)
            feed.emplace(*contract.input_bytes, contract.input_how);
        std::optional<StdoutCapture> capture;
        std::optional<StdoutDrain> drain;
        std::optional<StdoutClosed> closed;
        if (contract.written && contract.output == Output::DrainedPipe)
            drain.emplace(true);
        else if (contract.written && contract.output == Output::Closed)
            closed.emplace();
        else if (contract.written)
            capture.emplace();
        report += check_contract(contract, misaligned).violations;
        if (contract.written && (drain ? drain->text() : capture ? capture->text() : "") != *contract.written)
            report += "wrote other than \"" + contract.written->substr(0, 40) + "\"; ";
    }
    return report;
}

}  // namespace support
