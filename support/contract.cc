#include "contract.h"

#include <cstdio>
#include <cstring>

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

}  // namespace

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

    Outcome outcome{};
    bareio_checked_call(contract.routine, &in, &outcome.out, misaligned);

    // Plain strings, not a stream: a test may call this with no descriptor
    // to spare, and a sanitizer's checks of a stream's type open a pipe.
    std::string report;
    const auto hex = [](uint64_t value) {
        char text[19];
        std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
        return std::string(text);
    };
    const unsigned may_change = contract.changes_gpr | 1u << RSP;
    for (int reg = 0; reg < 16; ++reg)
        if (!(may_change & (1u << reg)) && in.gpr[reg] != outcome.out.gpr[reg])
            report += std::string(gpr_names[reg]) + " changed " + hex(in.gpr[reg]) + " -> " +
                      hex(outcome.out.gpr[reg]) + "; ";
    if (outcome.out.gpr[RSP] != 0)
        report += "rsp moved by " + hex(outcome.out.gpr[RSP]) + "; ";
    for (int reg = 0; reg < 16; ++reg)
        if (!(contract.changes_xmm & (1u << reg)) &&
            std::memcmp(in.xmm[reg], outcome.out.xmm[reg], sizeof in.xmm[reg]) != 0)
            report += "xmm" + std::to_string(reg) + " changed; ";
    if (outcome.out.rflags & direction_flag)
        report += "direction flag set; ";
    const bool carry = outcome.out.rflags & carry_flag;
    if (contract.carry_out >= 0 && carry != bool(contract.carry_out))
        report += std::string("carry ") + (carry ? "set" : "clear") + " (entered " +
                  (in.rflags ? "set" : "clear") + "); ";
    outcome.violations = report;
    return outcome;
}

std::string check_both_alignments(const Contract &contract)
{
    return check_contract(contract, false).violations + check_contract(contract, true).violations;
}

}  // namespace support
