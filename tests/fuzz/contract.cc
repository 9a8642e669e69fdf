// Fuzz target: a sequence of calls to every routine (but __start), each
// through the register-contract trampoline with random register contents,
// a random stack alignment and random arguments. After each call: no
// register outside the routine's allowed set changed, and its result and
// output are what the model says, with standard input consumed as the
// routines consume it: one read's worth by __readstr, a line by the number
// readers, a line or a capacity's worth of it by __readline.
//
// Input layout: a byte n, then n bytes of standard input; a byte m, then m
// bytes of argument texts separated by spaces (at most eight); then steps
// of 17 bytes: the routine and its options, an argument, a register seed.
// The options byte: bits 0-3 the routine (modulo 11, the routines of the
// three modules in contract.h's order); bit 4 makes the call
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
constexpr std::size_t buffer_size = 64;  // the capacities tried: 0 to 64
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

    while (in.data.size() >= step_size) {
        const uint8_t options = in.byte();
        const uint64_t argument = in.quad(), seed = in.quad();
        const int routine = (options & 0x0f) % Dumpregs;  // (the debug module is not linked)
        failing = options & 0x10;
        const bool misaligned = options & 0x80;
        // Mostly indices near the arguments, sometimes any 64-bit value.
        const int64_t index = options & 0x40 ? static_cast<int64_t>(argument)
                                              : static_cast<int64_t>(argument % (max_arguments + 3)) - 2;
        const bool present = index >= 0 && index < count;
        const std::size_t capacity = argument % (buffer_size + 1);
        const Flags argument_flags = index >= 0 && !present ? none : done;

        Contract call;
        Expect expect;
        std::string want;  // what the call writes; a reader of text: what it stores
        switch (routine) {
        case Startarg:
            call = Contract("", __startarg).args(index);
            expect = {index < 0 ? count : present ? reinterpret_cast<uint64_t>(texts[index]) : 0,
                      {argument_flags.carry, -1}};
            break;
        case Readstr: {
            call = Contract("", __readstr).args(buffer, capacity);
            want = next_read(capacity);
            expect = {failing ? uint64_t(-EISDIR) : want.size() - (!want.empty() && want.back() == '\n'),
                      want.empty() ? carry : clear, want};
            break;
        }
        case Readline: {
            // The line's bytes up to its newline, or capacity of them and
            // the rest left; no input: the error or 0, and a zero byte;
            // a capacity of 0 reads nothing, failing or not.
            call = Contract("", __readline).args(buffer, capacity);
            const std::string_view rest = failing ? std::string_view() : stdin_bytes.substr(consumed);
            const std::size_t line = std::min(rest.find('\n'), rest.size());
            if (rest.empty() || capacity == 0) {
                expect = {failing && capacity ? uint64_t(-EISDIR) : 0, none, std::string(1, '\0')};
            } else if (line >= capacity) {
                want = next_read(capacity);
                expect = {capacity, part, want + '\0'};
            } else {
                want = next_read(line + (line < rest.size())).substr(0, line);
                expect = {line, done, want + '\0'};
            }
            want = expect.stored->substr(0, expect.stored->size() - 1);
            break;
        }
        case Writestr: {
            const std::size_t offset = argument % (pool.size() + 1);
            const std::size_t length = (argument >> 32) % (pool.size() - offset + 1);
            call = Contract("", __writestr).args(pool.c_str() + offset, length);
            want = length ? pool.substr(offset, length) : std::string(pool.c_str() + offset);
            expect.flags = {failing, -1};  // even a write of no bytes fails on a read-only descriptor
            break;
        }
        case Argvint:
            call = Contract("", __argvint).args(index);
            expect = {index < 0 ? count : present ? model::strtoint(texts[index]) : 0,
                      present && !model::is_integer(texts[index]) ? part : argument_flags};
            break;
        case Readint: case Readdec: {
            const std::string_view rest = failing ? std::string_view() : stdin_bytes.substr(consumed);
            next_line();
            if (routine == Readint) {
                const auto got = model::readint(rest);
                call = Contract("", __readint);
                expect = {static_cast<uint64_t>(got.value), got.number ? done : part};
            } else {
                const auto got = model::readdec(rest);
                call = Contract("", __readdec);
                expect = {model::to_bits(got.value), got.number ? done : part};
            }
            if (rest.empty())
                expect = {0, none};
            break;
        }
        case Writeint:
            call = Contract("", __writeint).args(argument);
            want = model::writeint(static_cast<int64_t>(argument));
            expect.flags = {failing, -1};
            break;
        case Writechr:
            call = Contract("", __writechr).args(argument);
            want = model::writechr(argument);
            expect.flags = {failing, -1};
            break;
        case Argvdec:
            call = Contract("", __argvdec).args(index);
            expect = {model::to_bits(present ? model::strtodec(texts[index]) : 0.0),
                      present && !model::is_decimal(texts[index]) ? part : argument_flags};
            break;
        case Writedec:
            call = Contract("", __writedec).decimal(model::from_bits(argument));
            want = model::writedec(model::from_bits(argument));
            expect.flags = {failing, -1};
            break;
        }

        fuzz::set_failing(failing);
        const auto outcome = check_contract(call, misaligned, seed, expect);
        fuzz::set_failing(false);
        const bool reader = routine == Readstr || routine == Readline;
        if (failing && !reader)
            want.clear();  // every write failed
        const std::string what = routines[routine].name + ("(" + hex(argument) + ")") + (failing ? " failing" : "");
        if (!outcome.violations.empty())
            fuzz::differ(("the contract of " + what).c_str(), input, outcome.violations, "no change");
        const std::string written = fuzz::take();
        if (written != (reader ? "" : want))
            fuzz::differ(what.c_str(), input, fuzz::quoted(written), fuzz::quoted(reader ? "" : want));
    }
    return 0;
}
