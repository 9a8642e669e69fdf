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
        std::string want;  // what the call writes; __readstr: what it stores in the buffer
        switch (routine) {
        case Startarg:
            call = Contract(__startarg).args(index).result(
                index < 0 ? count : present ? reinterpret_cast<uint64_t>(texts[index]) : 0);
            break;
        case Readstr: {
            const std::size_t capacity = argument % (buffer_size + 1);
            std::memset(buffer, 0xAA, sizeof buffer);
            want = next_read(capacity);
            call = Contract(__readstr).args(buffer, capacity).carry(want.empty()).result(
                failing ? uint64_t(-EISDIR) : want.size() - (!want.empty() && want.back() == '\n'));
            break;
        }
        case Writestr: {
            const std::size_t offset = argument % (pool.size() + 1);
            const std::size_t length = (argument >> 32) % (pool.size() - offset + 1);
            call = Contract(__writestr).args(pool.c_str() + offset, length);
            want = length ? pool.substr(offset, length) : std::string(pool.c_str() + offset);
            break;
        }
        case Argvint:
            call = Contract(__argvint).args(index).result(
                index < 0 ? count : present ? model::strtoint(texts[index]) : 0);
            break;
        case Readint: {
            const std::string line = next_line();
            call = Contract(__readint).result(model::strtoint(line.c_str())).carry(line.empty());
            break;
        }
        case Writeint:
            call = Contract(__writeint).args(argument);
            want = model::writeint(static_cast<int64_t>(argument));
            break;
        case Writechr:
            call = Contract(__writechr).args(argument);
            want = model::writechr(argument);
            break;
        case Argvdec:
            call = Contract(__argvdec).args(index).result(
                model::to_bits(present ? model::strtodec(texts[index]) : 0.0));
            break;
        case Readdec: {
            const std::string line = next_line();
            call = Contract(__readdec).result(model::to_bits(model::strtodec(line.c_str()))).carry(line.empty());
            break;
        }
        case Writedec:
            call = Contract(__writedec).decimal(model::from_bits(argument));
            want = model::writedec(model::from_bits(argument));
            break;
        }

        if (routine == Startarg || routine == Argvint || routine == Argvdec)
            call.carry(index >= 0 && !present);  // no argument of that index
        if (routine == Writestr || routine == Writeint || routine == Writechr || routine == Writedec)
            call.carry(failing);  // even a write of no bytes fails on a read-only descriptor
        fuzz::set_failing(failing);
        const auto outcome = check_contract(call, misaligned, seed);
        fuzz::set_failing(false);
        if (failing)
            want.clear();  // every write failed, and every read
        const std::string what = routines[routine].name + ("(" + hex(argument) + ")") + (failing ? " failing" : "");
        if (!outcome.violations.empty())
            fuzz::differ(("the contract of " + what).c_str(), input, outcome.violations, "no change");
        const std::string written = fuzz::take();
        if (routine == Readstr) {
            const std::string got(reinterpret_cast<const char *>(buffer), want.size());
            const bool untouched =
                std::all_of(buffer + want.size(), buffer + sizeof buffer, [](uint8_t b) { return b == 0xAA; });
            if (got != want || !untouched || !written.empty())
                fuzz::differ(what.c_str(), input, fuzz::quoted(got) + (untouched ? "" : " and more"),
                             fuzz::quoted(want));
        } else if (written != want) {
            fuzz::differ(what.c_str(), input, fuzz::quoted(written), fuzz::quoted(want));
        }
    }
    return 0;
}
