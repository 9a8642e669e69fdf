#include "contract.h"

#include <cstdio>
#include <stdexcept>
#include <unistd.h>
#if __has_include(<valgrind/memcheck.h>)
#include <valgrind/memcheck.h>
#else
#define VALGRIND_MAKE_MEM_DEFINED(address, size) ((void)0)
#endif

extern "C" const void *const bareio_routines[support::Routines];  // trampoline.S
extern "C" void bareio_scribble();

namespace support {

unsigned char buffer[128];
const char *const gpr_names[16] = {"rax", "rbx", "rcx", "rdx", "rsi", "rdi", "rbp", "rsp",
                                   "r8",  "r9",  "r10", "r11", "r12", "r13", "r14", "r15"};

namespace {

uint64_t splitmix(uint64_t &state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// CF, PF, AF, ZF, SF, OF and DF: what a routine that keeps the flags keeps.
constexpr uint64_t carry_flag = 1, overflow_flag = 1u << 11, direction_flag = 1u << 10,
                   kept_flags = REGS_ENTRY_FLAGS;

// The stack a routine is called on: junk (4 KiB, of which the routines use
// at most some hundred bytes) below its return address; above that the way
// back, then canaries, where its caller's frame would be.
constexpr std::size_t below = 4096 / 8, words = below + 1 + 256 / 8;
alignas(16) uint64_t stack[words];

std::string flag_report(const char *name, uint64_t out, uint64_t in, uint64_t mask, int want)
{
    const bool got = out & mask;
    if (want < 0 || got == bool(want))
        return {};
    return std::string(name) + (got ? " set" : " clear") + " (entered " + (in & mask ? "set" : "clear") + "); ";
}

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

Outcome check_contract(const Contract &contract, bool misaligned, uint64_t seed, const Expect &expect)
{
    const Rules &rules = contract.rules;
    Registers in{};
    in.rflags = rules.flags ? (seed & 1) ^ misaligned : misaligned ? 0 : kept_flags;
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
    std::memset(buffer, 0xAA, sizeof buffer);

    Outcome outcome{};
    outcome.rsp = reinterpret_cast<uint64_t>(stack + at);
    bareio_checked_call(contract.routine, &in, &outcome.out, stack + at);
    // What the routine left below rsp is stack it gave back: defined.
    VALGRIND_MAKE_MEM_DEFINED(stack, sizeof stack);

    // Plain strings, not a stream: a test may call this with no descriptor
    // to spare, and a sanitizer's checks of a stream's type open a pipe.
    std::string report;
    const uint64_t flags = outcome.out.rflags;
    const unsigned may_change = rules.gpr | bit(RSP);
    for (int reg = 0; reg < 16; ++reg)
        if (!(may_change & (1u << reg)) && in.gpr[reg] != outcome.out.gpr[reg])
            report += std::string(gpr_names[reg]) + " changed " + hex(in.gpr[reg]) + " -> " +
                      hex(outcome.out.gpr[reg]) + "; ";
    if (outcome.out.gpr[RSP] != 0)
        report += "rsp moved by " + hex(outcome.out.gpr[RSP]) + "; ";
    for (int reg = 0; reg < 16; ++reg)
        if (!(rules.xmm & bit(reg)) && std::memcmp(in.xmm[reg], outcome.out.xmm[reg], sizeof in.xmm[reg]) != 0)
            report += "xmm" + std::to_string(reg) + " changed; ";
    if (rules.flags && (flags & direction_flag))
        report += "direction flag set; ";
    if (!rules.flags && (flags & kept_flags) != (in.rflags & kept_flags))
        report += "flags changed " + hex(in.rflags & kept_flags) + " -> " + hex(flags & kept_flags) + "; ";
    report += flag_report("carry", flags, in.rflags, carry_flag, expect.flags.carry);
    report += flag_report("overflow", flags, in.rflags, overflow_flag, expect.flags.overflow);
    const uint64_t result = rules.xmm & 1 ? outcome.out.xmm[0][0] : outcome.out.gpr[RAX];
    if (expect.result && result != *expect.result)
        report += "result " + hex(result) + ", not " + hex(*expect.result) + "; ";
    if (expect.stored && std::memcmp(buffer, expect.stored->data(), expect.stored->size()) != 0)
        report += "stored other than \"" + expect.stored->substr(0, 40) + "\"; ";
    if (rules.buffer >= 0 && contract.rdi == reinterpret_cast<uint64_t>(buffer))
        for (std::size_t i = contract.rsi + rules.buffer; i < sizeof buffer; ++i)
            if (buffer[i] != 0xAA) {
                report += "stored past its room, at " + std::to_string(i) + "; ";
                break;
            }
    for (std::size_t word = at; word < words; ++word)
        if (stack[word] != laid[word])
            report += "stack at rsp+" + std::to_string(8 * (word - at)) + " changed; ";
    std::size_t deepest = 0;
    while (deepest < at && stack[deepest] == laid[deepest])
        ++deepest;
    outcome.depth = 8 * (at - deepest);
    if (outcome.depth > rules.depth)
        report += std::to_string(outcome.depth) + " bytes of stack used, more than the " +
                  std::to_string(rules.depth) + " of " + rules.name + "; ";
    outcome.violations = report;
    return outcome;
}

std::string check(const Contract &contract)
{
    std::string report;
    const std::size_t calls = std::max<std::size_t>(contract.expect.size(), 1);
    for (bool misaligned : {false, true}) {
        std::string written;
        {
            Capture capture(contract.output, contract.rules.output);  // first: a closed input's
                                                                        // descriptor stays free
            std::optional<StdinFeed> feed;
            if (contract.input_bytes)
                feed.emplace(*contract.input_bytes, contract.input_how);
            for (std::size_t i = 0; i < calls; ++i) {
                const std::string found = check_contract(contract, misaligned, i,
                                                         i < contract.expect.size() ? contract.expect[i] : Expect{})
                                              .violations;
                if (!found.empty())
                    report += (calls > 1 ? "call " + std::to_string(i) + ": " : "") + found;
            }
            written = capture.text();
            if (contract.rest_bytes) {
                char rest[64];
                const ssize_t n = read(0, rest, sizeof rest);
                if (std::string(rest, n > 0 ? n : 0) != *contract.rest_bytes)
                    report += "left other than \"" + *contract.rest_bytes + "\"; ";
            }
        }
        if (contract.written && written != *contract.written)
            report += "wrote \"" + written.substr(0, 40) + "\", not \"" + contract.written->substr(0, 40) + "\"; ";
    }
    return report;
}

}  // namespace support
