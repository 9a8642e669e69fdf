// Register-contract checks: a run-time routine is called through an
// assembly trampoline that fills every general register (but rsp) and every
// xmm register with distinct random-looking values, calls it with the
// stack pointer 0 or 8 modulo 16, and records every register afterwards.
#pragma once

#include "registers.h"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <type_traits>

namespace support {

enum Gpr { RAX, RBX, RCX, RDX, RSI, RDI, RBP, RSP, R8, R9, R10, R11, R12, R13, R14, R15 };

struct Registers {
    uint64_t gpr[16];       // in Gpr order; gpr[RSP] out: rsp drift after return
    uint64_t xmm[16][2];
    uint64_t rflags;        // in: bit 0 the carry on entry; out: the flags
};

// trampoline.S reads and writes the struct by the offsets in registers.h.
static_assert(RAX == 0 && RSP == 7 && R15 == 15, "gpr[] is indexed in Gpr order");
static_assert(offsetof(Registers, gpr) == REGS_GPR(0) && sizeof(uint64_t) == REGS_GPR(1));
static_assert(offsetof(Registers, xmm) == REGS_XMM(0) && sizeof(Registers::xmm[0]) == REGS_XMM(1) - REGS_XMM(0));
static_assert(offsetof(Registers, rflags) == REGS_RFLAGS && sizeof(Registers) == REGS_SIZE);

extern "C" void bareio_checked_call(const void *routine, const Registers *in, Registers *out,
                                    uint64_t misaligned);

// What a call passes and what it may change, named where the call is made:
//   Contract(__writestr).args(text, 3).may_change({R11})
struct Contract {
    Contract() = default;
    template <typename Routine>
    explicit Contract(Routine *routine) : routine(reinterpret_cast<const void *>(routine)) {}

    // rdi and rsi: integers, or addresses; a double in xmm0.
    template <typename First, typename Second = uint64_t>
    Contract &args(First first, Second second = 0) { rdi = word(first); rsi = word(second); return *this; }
    Contract &decimal(double value) { pass_xmm0 = true; xmm0 = value; return *this; }
    Contract &may_change(std::initializer_list<Gpr> regs)
    {
        for (Gpr reg : regs)
            changes_gpr |= 1u << reg;
        return *this;
    }
    Contract &may_change_xmm0() { changes_xmm |= 1u; return *this; }
    // The carry flag the routine returns (unchecked unless stated).
    Contract &carry(bool set) { carry_out = set; return *this; }

    const void *routine = nullptr;
    uint64_t rdi = 0, rsi = 0;
    bool pass_xmm0 = false;
    double xmm0 = 0.0;
    unsigned changes_gpr = 0;  // bits 1 << Gpr that may change
    unsigned changes_xmm = 0;  // bits 1 << n for xmm n that may change
    int carry_out = -1;        // 0 or 1 when stated

private:
    template <typename Value>
    static uint64_t word(Value value)
    {
        if constexpr (std::is_pointer_v<Value>)
            return reinterpret_cast<uint64_t>(value);
        else
            return static_cast<uint64_t>(value);
    }
};

struct Outcome {
    std::string violations;  // empty when the contract holds; else names each register
    Registers out;           // what came back from the last call
};

// Calls the routine once at the given alignment (rsp mod 16 at the call is
// 8 * misaligned) with fresh register contents drawn from seed, and names
// every register outside the allowed set that changed, a moved stack
// pointer, a set direction flag, and a carry out other than the stated one.
// The carry on entry is misaligned XOR bit 0 of seed, so that both
// alignments of one seed enter once with CF set and once with it clear.
Outcome check_contract(const Contract &contract, bool misaligned, uint64_t seed = 0);

// The violations of a call at each alignment in turn: "" when both hold.
std::string check_both_alignments(const Contract &contract);

}  // namespace support
