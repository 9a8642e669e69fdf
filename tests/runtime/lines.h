// The one table of how the line reader (startup's __takeline) takes lines,
// from every kind of input: the lines successive calls get. startup-test
// runs it through __readline, integer-test through __readint and
// decimal-test through __readdec, each stating what its reader makes of a
// line.
#pragma once

#include "cases.h"
#include "contract.h"
#include "model.h"

#include <cerrno>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

namespace lines {

using support::Input;

// What one call gets: a line's bytes (no newline; at most 64 of them
// here), whether that is all of the line (not when a message held more,
// or a time-out cut it), or no input at all (then the error, if any).
struct Line {
    std::string text;
    support::Flags flags = support::done;
    int64_t error = 0;
};

inline const Line end{"", support::none};

struct Row {
    const char *name;
    std::string input;
    Input how;
    std::vector<Line> lines;
    const char *rest = nullptr;  // then what a read finds, in place of the end
};

inline std::string nines(std::size_t n) { return std::string(n, '9'); }

inline const std::vector<Row> &table()
{
    using support::part;
    static const std::vector<Row> rows = {
        {"terminal_lines", "42\n-7\n\x04", Input::Terminal, {{"42"}, {"-7"}, end}},
        {"terminal_crlf", "42\r\n\x04", Input::Terminal, {{"42"}, {""}, end}},  // CR is a newline there
        {"terminal_partial_line_then_more", "12\x04" "34\n\x04", Input::Terminal, {{"12"}, {"34"}, end}},
        {"terminal_last_line_two_ends", "7\x04\x04", Input::Terminal, {{"7"}, end}},
        {"terminal_master", "12\n34\n", Input::TerminalMaster, {{"12"}, {"34"}, {"", support::none, -EIO}}},
        {"file_lines", "6\n7\n", Input::File, {{"6"}, {"7"}, end}},
        {"pipe_lines", "6\n7\n", Input::Pipe, {{"6"}, {"7"}, end}},
        {"crlf_kept_in_the_line", "42\r\n", Input::File, {{"42\r"}, end}},
        {"empty_line", "\n5", Input::Pipe, {{""}, {"5"}, end}},
        {"partial_last_line", "5", Input::File, {{"5"}, end}},
        {"end_of_input", "", Input::File, {end}},
        {"closed", "", Input::Closed, {{"", support::none, -EBADF}, {"", support::none, -EBADF}}},
        {"directory", "", Input::Directory, {{"", support::none, -EISDIR}}},
        {"zero_byte_inside", std::string("1\0" "2\n3\n", 5), Input::Pipe, {{std::string("1\0" "2", 3)}, {"3"}, end}},
        // Lines of 20 bytes and more are one line each, from any input.
        {"int64_min_then_a_line_file", "-9223372036854775808\n5\n", Input::File, {{"-9223372036854775808"}, {"5"}, end}},
        {"int64_min_then_a_line_pipe", "-9223372036854775808\n5\n", Input::Pipe, {{"-9223372036854775808"}, {"5"}, end}},
        {"twenty_five_digits", "1234567890123456789012345\n", Input::Pipe, {{"1234567890123456789012345"}, end}},
        {"twenty_four_digits_then_a_line", "123456789012345678901234\n5\n", Input::File,
         {{"123456789012345678901234"}, {"5"}, end}},
        {"crlf_nineteen_digits", "-1000000000000000000\r\n-5\r\n", Input::File,
         {{"-1000000000000000000\r"}, {"-5\r"}, end}},
        {"many_decimal_digits", "3.14159265358979323846\n46\n", Input::Pipe, {{"3.14159265358979323846"}, {"46"}, end}},
        // What follows a line stays in the input.
        {"then_a_read_from_a_file", "6\nrest\n", Input::File, {{"6"}}, "rest\n"},
        {"then_a_read_from_a_pipe", "-6\r\nrest", Input::Pipe, {{"-6\r"}}, "rest"},
        {"then_a_read_from_a_stream_socket", "6\n7\nrest", Input::StreamSocket, {{"6"}, {"7"}}, "rest"},
        // Interruptions, waits, and the kernel's corners.
        {"slow_pipe_interrupted", "6\n7\n", Input::InterruptedPipe, {{"6"}, {"7"}, end}},
        {"non_blocking_slow", "6\n7\n", Input::NonBlockingPipe, {{"6"}, {"7"}, end}},
        {"stream_socket_end", "", Input::StreamSocket, {end}},
        {"peek_offset_socket", "12\n34\n56\n", Input::PeekOffsetSocket, {{"12"}, {"34"}, {"56"}, end}},
        {"file_near_the_largest_offset", "12\n34\n", Input::FarFile, {{"12"}, {"34"}, end}},
        {"time_out_before_any_byte", "", Input::TimedSocket, {{"", support::none, -EAGAIN}}},
        {"time_out_after_a_part", "12", Input::TimedSocket, {{"12", part}, {"", support::none, -EAGAIN}}},
        // A message is a line: what follows its newline, or its 64th
        // byte, is lost with it; an empty one reads as the end of input.
        {"packets", "11\n22\n|33\n|123456789012345678901234|44", Input::PacketSocket,
         {{"11", part}, {"33"}, {"123456789012345678901234"}, {"44"}, end}},
        {"long_packet", nines(70) + "|5", Input::PacketSocket, {{nines(64), part}, {"5"}, end}},
        {"datagrams", "7|1\n2\n||5", Input::DatagramSocket, {{"7"}, {"1", part}, end, {"5"}}},
    };
    return rows;
}

inline void PrintTo(const Row &row, std::ostream *os) { *os << row.name; }

// A row through a reader: its calls as a contract, one gives() a line.
template <typename Give>
support::Contract through(const Row &row, support::Contract reader, Give give)
{
    reader.input(row.input, row.how);
    for (const Line &line : row.lines)
        give(reader, line);
    if (row.rest)
        reader.rest(row.rest);
    return reader;
}

// A number reader's table: each conversion's text as a line of its own,
// then the line table, each line's value and whether it is one number
// that fits as convert (model::readint or model::readdec) says; no
// line, 0 and CF.
template <typename Value, typename Routine>
std::vector<support::Contract> number_reader_rows(Routine *routine,
                                                  const std::vector<support::Conversion<Value>> &conversions,
                                                  model::Number<Value> (*convert)(std::string_view))
{
    const auto word = [](Value value) {
        if constexpr (std::is_same_v<Value, double>)
            return model::to_bits(value);
        else
            return static_cast<uint64_t>(value);
    };
    std::vector<support::Contract> rows;
    for (const auto &c : conversions)
        if (c.text.find('\n') == std::string::npos)
            rows.push_back(support::Contract(c.name, routine)
                               .input(c.text + "\n")
                               .gives(word(c.value), c.number ? support::done : support::part));
    for (const Row &row : table())
        rows.push_back(through(row, support::Contract(row.name + std::string("_line"), routine),
                               [&](support::Contract &call, const Line &line) {
                                   const auto got = convert(line.text + "\n");
                                   if (line.flags.carry == 1)
                                       call.gives(0, support::none);
                                   else
                                       call.gives(word(got.value), got.number && line.flags.overflow == 0 ? support::done
                                                                                                          : support::part);
                               }));
    return rows;
}

}  // namespace lines
