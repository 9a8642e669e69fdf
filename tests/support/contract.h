// Every in-process call of the run-time goes through this check: an
// assembly trampoline fills every general register (but rsp) and every xmm
// register with distinct random-looking values, calls the routine with the
// stack pointer 0 or 8 modulo 16 on a stack of junk below the return address
// and canaries above it, and records every register, the flags and that
// stack afterwards. A row of a test table is a Contract: the routine, its
// arguments, what standard input holds, and what each call in turn must
// give (result, flags, bytes stored) and write.
#pragma once

#include "redirect.h"
#include "registers.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace support {

enum Gpr { RAX, RBX, RCX, RDX, RSI, RDI, RBP, RSP, R8, R9, R10, R11, R12, R13, R14, R15 };
extern const char *const gpr_names[16];  // in Gpr order, as Intel syntax names them

struct Registers {
    uint64_t gpr[16];  // in Gpr order; gpr[RSP] out: rsp drift after return
    uint64_t xmm[16][2];
    uint64_t rflags;   // in: the status flags and DF to enter with; out: the flags
};

// trampoline.S reads and writes the struct by the offsets in registers.h.
static_assert(RAX == 0 && RSP == 7 && R15 == 15, "gpr[] is indexed in Gpr order");
static_assert(offsetof(Registers, gpr) == REGS_GPR(0) && sizeof(uint64_t) == REGS_GPR(1));
static_assert(offsetof(Registers, xmm) == REGS_XMM(0) && sizeof(Registers::xmm[0]) == REGS_XMM(1) - REGS_XMM(0));
static_assert(offsetof(Registers, rflags) == REGS_RFLAGS && sizeof(Registers) == REGS_SIZE);

extern "C" void bareio_checked_call(const void *routine, const Registers *in, Registers *out, uint64_t *stack);

// The run-time's routines (but __start), in the order of the table below.
enum Routine { Startarg, Readstr, Readline, Writestr, Argvint, Readint, Writeint, Writechr, Argvdec, Readdec,
               Writedec, Dumpregs, Routines };

// What a routine may change, and its depth: how many bytes below the
// caller's rsp it uses, its return address included (its deepest path, as
// the check measures it on the junk below rsp; a writer that waits in poll
// for room, which only __writestr's rows make happen, needs 48 bytes more).
struct Rules {
    const char *name;
    unsigned gpr;       // bits 1 << Gpr that may change
    unsigned xmm;       // bits 1 << n for xmm n that may change
    unsigned depth;     // bytes
    int buffer = -1;    // a reader of text: bytes it may store past rsi bytes at rdi
    bool flags = true;  // whether it may change the status flags
    int output = 1;     // the descriptor it writes to
};

// The one table of the routines' contracts, read by the tests and the fuzzer.
constexpr unsigned bit(int n) { return 1u << n; }
inline constexpr Rules routines[Routines] = {
    {"__startarg", bit(RAX), 0, 8},
    {"__readstr", bit(RAX) | bit(R11), 0, 40, 0},
    {"__readline", bit(RAX) | bit(R11), 0, 288, 1},
    {"__writestr", bit(R11), 0, 96},
    {"__argvint", bit(RAX), 0, 56},
    {"__readint", bit(RAX) | bit(R11), 0, 376},
    {"__writeint", bit(R11), 0, 136},
    {"__writechr", bit(R11), 0, 72},
    {"__argvdec", 0, bit(0), 96},
    {"__readdec", bit(R11), bit(0), 384},
    {"__writedec", bit(R11), 0, 648},
    {"__dumpregs", 0, 0, 632, -1, false, 2},
};

// The flags a call must return: carry and overflow, each 0, 1 or unchecked.
struct Flags {
    int carry = -1, overflow = -1;
};
inline constexpr Flags done{0, 0};    // all it was asked: a whole line, one number that fits
inline constexpr Flags part{0, 1};    // OF: not one number that fits, not a whole line
inline constexpr Flags none{1, 0};    // CF: no input taken, no such argument
inline constexpr Flags clear{0, -1};  // CF = 0; the overflow flag is not the routine's
inline constexpr Flags carry{1, -1};  // CF = 1: no byte read, a byte lost, no argument

// What one call must give: its result (rax, or xmm0's low half for a
// routine whose result is xmm0), its flags, and for a reader of text the
// bytes at rdi after it.
struct Expect {
    Expect(std::optional<uint64_t> result = {}, Flags flags = {}, std::optional<std::string> stored = {})
        : result(result), flags(flags), stored(std::move(stored)) {}
    std::optional<uint64_t> result;
    Flags flags;
    std::optional<std::string> stored;
};

// 128 bytes for the readers of text to store into, filled with 0xAA
// before each call: what they may not touch must stay so.
extern unsigned char buffer[128];

// A row: Contract("name", __readint).input("42\n", Input::Pipe).gives(42, done)
struct Contract {
    Contract() = default;
    template <typename Function>
    explicit Contract(std::string name, Function *routine)
        : name(std::move(name)), routine(reinterpret_cast<const void *>(routine)), rules(rules_of(this->routine)) {}

    // rdi and rsi: integers, or addresses; a double in xmm0.
    template <typename First, typename Second = uint64_t>
    Contract &args(First first, Second second = 0) { rdi = word(first); rsi = word(second); return *this; }
    Contract &decimal(double value) { pass_xmm0 = true; xmm0 = value; return *this; }
    // Standard input holding bytes, afresh at each alignment.
    Contract &input(std::string bytes, Input how = Input::File) { input_bytes = bytes; input_how = how; return *this; }
    // The next call's result, flags and, for a reader of text, the bytes
    // it leaves at rdi. A row with no gives() makes one call.
    Contract &gives(uint64_t result, Flags flags = done) { expect.push_back({result, flags, {}}); return *this; }
    Contract &gives(uint64_t result, Flags flags, std::string stored)
    {
        expect.push_back({result, flags, std::move(stored)});
        return *this;
    }
    Contract &returns(Flags flags) { expect.push_back({{}, flags, {}}); return *this; }
    // What all the calls write, and where to; what a read finds after them.
    Contract &writes(std::string text, Output to = Output::File) { written = text; output = to; return *this; }
    Contract &to(Output where) { output = where; return *this; }
    Contract &rest(std::string text) { rest_bytes = text; return *this; }
    // What the check must report (a row about the check itself).
    Contract &reports(std::string text) { violations = text; return *this; }

    std::string name;
    const void *routine = nullptr;
    Rules rules{};
    uint64_t rdi = 0, rsi = 0;
    bool pass_xmm0 = false;
    double xmm0 = 0.0;
    std::optional<std::string> input_bytes, written, rest_bytes;
    Input input_how = Input::File;
    Output output = Output::File;
    std::vector<Expect> expect;
    std::string violations;

private:
    static Rules rules_of(const void *routine);  // throws for a routine of no table
    static uint64_t word(uint64_t value) { return value; }
    static uint64_t word(const void *address) { return reinterpret_cast<uint64_t>(address); }
};

inline void PrintTo(const Contract &contract, std::ostream *os) { *os << contract.name; }
std::string hex(uint64_t value);  // "0x" and the hexadecimal digits

struct Outcome {
    std::string violations;  // empty when the contract holds; else names each register
    Registers out;           // what came back
    unsigned depth;          // bytes of stack below rsp that the call used
    uint64_t rsp;            // rsp at the call
};

// Calls the routine once at the given alignment (rsp mod 16 at the call is
// 8 * misaligned) with fresh register contents drawn from seed, and names
// every register outside the allowed set that changed, a moved stack
// pointer, a set direction flag (or for a routine that keeps the flags,
// any flag changed), a result or flag other than `expect` states, bytes
// stored other than it states or past the buffer's room, a changed word
// of the 256 bytes above the return address (canaries), and more stack
// used below rsp than the routine's depth. The carry on entry is
// misaligned XOR bit 0 of seed; a routine that keeps the flags is entered
// with every status flag and DF set when aligned, clear when not.
Outcome check_contract(const Contract &contract, bool misaligned, uint64_t seed = 0, const Expect &expect = {});

// The row at each alignment in turn: standard input afresh, standard
// output as the row says, each stated call through check_contract; then
// what was written and what a read finds left. "" when all holds.
std::string check(const Contract &contract);

}  // namespace support
