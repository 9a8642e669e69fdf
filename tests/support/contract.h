// Register-contract checks: a run-time routine is called through an
// assembly trampoline that fills every general register (but rsp) and every
// xmm register with distinct random-looking values, calls it with the stack
// pointer 0 or 8 modulo 16 on a stack of junk below the return address and
// canaries above it, and records every register and that stack afterwards.
#pragma once

#include "descriptors.h"
#include "registers.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

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

extern "C" void bareio_checked_call(const void *routine, const Registers *in, Registers *out, uint64_t *stack);

// The run-time's routines (but __start), in the order of the table below.
enum Routine { Startarg, Readstr, Writestr, Argvint, Readint, Writeint, Writechr, Argvdec, Readdec, Writedec,
               Routines };

// What a routine may change besides the flags, and its depth: how many
// bytes below the caller's rsp it uses, its return address included (its
// deepest path, as the check measures it on the junk below rsp).
struct Rules {
    const char *name;
    unsigned gpr;    // bits 1 << Gpr that may change
    unsigned xmm;    // bits 1 << n for xmm n that may change
    unsigned depth;  // bytes
};

// The one table of the routines' contracts, read by the tests and the fuzzer.
constexpr unsigned bit(int n) { return 1u << n; }
inline constexpr Rules routines[Routines] = {
    {"__startarg", bit(RAX), 0, 8},   {"__readstr", bit(RAX) | bit(R11), 0, 40}, {"__writestr", bit(R11), 0, 80},
    {"__argvint", bit(RAX), 0, 40},   {"__readint", bit(RAX) | bit(R11), 0, 240}, {"__writeint", bit(R11), 0, 136},
    {"__writechr", bit(R11), 0, 72},  {"__argvdec", 0, bit(0), 88},               {"__readdec", bit(R11), bit(0), 280},
    {"__writedec", bit(R11), 0, 648},
};

enum class Output { File, DrainedPipe, Closed };

// What a call passes, its routine's rules from the table (unless it is the
// harness's own), and the carry it returns:
//   Contract(__writestr).args(text, 3).carry(false)
struct Contract {
    Contract() = default;
    template <typename Function>
    explicit Contract(Function *routine)
        : routine(reinterpret_cast<const void *>(routine)), rules(rules_of(this->routine)) {}

    // rdi and rsi: integers, or addresses; a double in xmm0.
    template <typename First, typename Second = uint64_t>
    Contract &args(First first, Second second = 0) { rdi = word(first); rsi = word(second); return *this; }
    Contract &decimal(double value) { pass_xmm0 = true; xmm0 = value; return *this; }
    // The carry flag the routine returns (unchecked unless stated).
    Contract &carry(bool set) { carry_out = set; return *this; }
    // For check_both_alignments: standard input holding bytes, afresh for
    // each call; the result (rax, or xmm0's low half for a routine that
    // changes it); what the call writes to standard output, made a file, a
    // non-blocking pipe drained slowly, or closed; what the check reports.
    Contract &input(std::string bytes, Input how = Input::File) { input_bytes = bytes; input_how = how; return *this; }
    Contract &result(uint64_t value) { result_out = value; return *this; }
    Contract &writes(std::string text, Output to = Output::File) { written = text; output = to; return *this; }
    Contract &reports(std::string text) { violations = text; return *this; }

    const void *routine = nullptr;
    Rules rules{};
    uint64_t rdi = 0, rsi = 0;
    bool pass_xmm0 = false;
    double xmm0 = 0.0;
    int carry_out = -1;        // 0 or 1 when stated
    std::optional<std::string> input_bytes, written;
    Input input_how = Input::File;
    std::optional<uint64_t> result_out;
    Output output = Output::File;
    std::string violations;

private:
    static Rules rules_of(const void *routine);  // throws for a routine of no table
    static uint64_t word(uint64_t value) { return value; }
    static uint64_t word(const void *address) { return reinterpret_cast<uint64_t>(address); }
};

inline void PrintTo(const Contract &contract, std::ostream *os) { *os << contract.rules.name; }
std::string hex(uint64_t value);  // "0x" and the hexadecimal digits

struct Outcome {
    std::string violations;  // empty when the contract holds; else names each register
    Registers out;           // what came back from the last call
    unsigned depth;          // bytes of stack below rsp that the call used
};

// Calls the routine once at the given alignment (rsp mod 16 at the call is
// 8 * misaligned) with fresh register contents drawn from seed, and names
// every register outside the allowed set that changed, a moved stack
// pointer, a set direction flag, a carry or a result other than the stated
// one, a changed word of the 256 bytes above the return address (canaries),
// and more stack used below rsp than the routine's depth.
// The carry on entry is misaligned XOR bit 0 of seed, so that both
// alignments of one seed enter once with CF set and once with it clear.
Outcome check_contract(const Contract &contract, bool misaligned, uint64_t seed = 0);

// The violations of a call at each alignment in turn, with the input, the
// result and the output it states: "" when all hold.
std::string check_both_alignments(const Contract &contract);

}  // namespace support
