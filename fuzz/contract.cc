// Fuzz target: a sequence of calls to every routine (but __start), each
// through the register-contract trampoline with random register contents,
// a random stack alignment and random arguments. After each call: no
// register outside the routine's allowed set changed, and its result and
// output are what the model says, with standard input consumed as the
// routines consume it: one read's worth by __readstr, a line by the readers.
//
// Input layout: a byte n, then n bytes of standard input; a byte m, then m
// bytes of argument texts separated by spaces (at most eight); then steps
// of 17 bytes: the routine and its options, an argument, a register seed.
// The options byte: bits 0-3 the routine (modulo 10); bit 4 makes the call
// with standard input and output failing; bit 6 passes the argument itself
// as an index, not one near the arguments; bit 7 misaligns the stack.
#include "contract.h"
#include "harness.h"
#include "model.h"

#include <bareio.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace support;

constexpr std::size_t step_size = 1 + 8 + 8;
constexpr std::size_t buffer_size = 64;
constexpr std::size_t max_arguments = 8;

struct Reader {
    std::string_view data;
    uint8_t byte()
    {
        const auto piece = take(1);
        return piece.empty() ? 0 : static_cast<uint8_t>(piece[0]);
    }
    std::string_view take(std::size_t n)
    {
        n = std::min(n, data.size());
        const auto piece = data.substr(0, n);
        data.remove_prefix(n);
        return piece;
    }
    uint64_t quad()
    {
        uint64_t value = 0;
        const auto piece = take(8);
        std::memcpy(&value, piece.data(), piece.size());
        return value;
    }
};

// What the model expects of one call.
struct Expected {
    bool check_rax = false, check_xmm0 = false;
    bool carry = false;  // readers: nothing taken; arguments: none named; writers: a byte lost
    uint64_t rax = 0, xmm0 = 0;
    std::string output;
};

std::string describe(int routine, uint64_t argument, bool failing)
{
    return std::string(routines[routine].name) + "(" + fuzz::hex(argument) + ")" + (failing ? " failing" : "");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char *>(data), size);
    const std::string pool(input);  // __writestr's texts: any piece of the input
    Reader in{input};

    const std::string_view stdin_bytes = in.take(in.byte());
    fuzz::feed(stdin_bytes);
    std::size_t consumed = 0;
    bool failing = false;
    auto next_read = [&](std::size_t capacity) {
        if (failing)
            return std::string();  // the read fails: nothing consumed, nothing converted
        const auto bytes = stdin_bytes.substr(consumed, capacity);
        consumed += bytes.size();
        return std::string(bytes);
    };
    auto next_line = [&] {
        return next_read(model::line_length(stdin_bytes.substr(consumed)));
    };

    std::vector<std::string> arguments;
    const std::string_view argument_bytes = in.take(in.byte());
    for (std::size_t from = 0; from < argument_bytes.size() && arguments.size() < max_arguments;) {
        const std::size_t space = std::min(argument_bytes.find(' ', from), argument_bytes.size());
        arguments.emplace_back(argument_bytes.substr(from, space - from));
        from = space + 1;
    }
    std::vector<const char *> texts;
    for (const auto &argument : arguments)
        texts.push_back(argument.c_str());
    fuzz::set_arguments(texts);
    const int64_t count = static_cast<int64_t>(arguments.size());

    uint8_t buffer[buffer_size + 1];
    while (in.data.size() >= step_size) {
        const uint8_t options = in.byte();
        const uint64_t argument = in.quad(), seed = in.quad();
        const int routine = (options & 0x0f) % Routines;
        failing = options & 0x10;
        const bool misaligned = options & 0x80;
        // Mostly indices near the arguments, sometimes any 64-bit value.
        const int64_t index = options & 0x40 ? static_cast<int64_t>(argument)
                                              : static_cast<int64_t>(argument % (max_arguments + 3)) - 2;
        const bool present = index >= 0 && index < count;

        Contract call;
        Expected want;
        switch (routine) {
        case Startarg:
            call = Contract(__startarg).args(index);
            want.check_rax = true;
            want.rax = index < 0 ? count : present ? reinterpret_cast<uint64_t>(texts[index]) : 0;
            want.carry = index >= 0 && !present;
            break;
        case Readstr: {
            const std::size_t capacity = argument % (buffer_size + 1);
            std::memset(buffer, 0xAA, sizeof buffer);
            call = Contract(__readstr).args(buffer, capacity);
            want.check_rax = true;
            const std::string bytes = next_read(capacity);
            want.rax = failing ? uint64_t(-EISDIR) : bytes.size() - (!bytes.empty() && bytes.back() == '\n');
            want.output = bytes;  // compared with the buffer, not the output
            want.carry = bytes.empty();
            break;
        }
        case Writestr: {
            const std::size_t offset = argument % (pool.size() + 1);
            const std::size_t length = (argument >> 32) % (pool.size() - offset + 1);
            call = Contract(__writestr).args(pool.c_str() + offset, length);
            want.output = length ? pool.substr(offset, length) : std::string(pool.c_str() + offset);
            break;
        }
        case Argvint:
            call = Contract(__argvint).args(index);
            want.check_rax = true;
            want.rax = index < 0 ? count : present ? model::strtoint(texts[index]) : 0;
            want.carry = index >= 0 && !present;
            break;
        case Readint: {
            call = Contract(__readint);
            want.check_rax = true;
            const std::string line = next_line();
            want.rax = model::strtoint(line.c_str());
            want.carry = line.empty();
            break;
        }
        case Writeint:
            call = Contract(__writeint).args(argument);
            want.output = model::writeint(static_cast<int64_t>(argument));
            break;
        case Writechr:
            call = Contract(__writechr).args(argument);
            want.output = model::writechr(argument);
            break;
        case Argvdec:
            call = Contract(__argvdec).args(index);
            want.check_xmm0 = true;
            want.xmm0 = model::to_bits(present ? model::strtodec(texts[index]) : 0.0);
            want.carry = index >= 0 && !present;
            break;
        case Readdec: {
            call = Contract(__readdec);
            want.check_xmm0 = true;
            const std::string line = next_line();
            want.xmm0 = model::to_bits(model::strtodec(line.c_str()));
            want.carry = line.empty();
            break;
        }
        case Writedec:
            call = Contract(__writedec).decimal(model::from_bits(argument));
            want.output = model::writedec(model::from_bits(argument));
            break;
        }

        if (routine == Writestr || routine == Writeint || routine == Writechr || routine == Writedec)
            want.carry = failing;  // even a write of no bytes fails on a read-only descriptor
        call.carry(want.carry);
        fuzz::set_failing(failing);
        const auto outcome = check_contract(call, misaligned, seed);
        fuzz::set_failing(false);
        if (failing)
            want.output.clear();  // every write failed, and every read
        const std::string what = describe(routine, argument, failing);
        if (!outcome.violations.empty())
            fuzz::differ(("the register contract of " + what).c_str(), input, outcome.violations, "no change");
        if (want.check_rax && outcome.out.gpr[RAX] != want.rax)
            fuzz::differ(what.c_str(), input, fuzz::hex(outcome.out.gpr[RAX]), fuzz::hex(want.rax));
        if (want.check_xmm0 && outcome.out.xmm[0][0] != want.xmm0)
            fuzz::differ(what.c_str(), input, fuzz::hex(outcome.out.xmm[0][0]), fuzz::hex(want.xmm0));
        const std::string written = fuzz::take();
        if (routine == Readstr) {
            const std::string got(reinterpret_cast<const char *>(buffer), want.output.size());
            const bool untouched = std::all_of(buffer + want.output.size(), buffer + sizeof buffer,
                                               [](uint8_t b) { return b == 0xAA; });
            if (got != want.output || !untouched || !written.empty())
                fuzz::differ(what.c_str(), input, fuzz::quoted(got) + (untouched ? "" : " and more"),
                             fuzz::quoted(want.output));
        } else if (written != want.output) {
            fuzz::differ(what.c_str(), input, fuzz::quoted(written), fuzz::quoted(want.output));
        }
    }
    return 0;
}
