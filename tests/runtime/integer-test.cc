// integer: integer text to value, integers and characters to output.
#include "cases.h"
#include "contract.h"
#include "model.h"
#include "object-check.h"
#include "process.h"
#include "redirect.h"

#include <bareio.h>

#include <algorithm>
#include <cstdint>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using support::Contract;
using support::Input;
using support::R11;
using support::RAX;
using support::run;

// ---- text to value: __readint in-process, __argvint end to end -------------

using Conversion = support::Conversion<int64_t>;

const std::vector<Conversion> conversions = {
    {"plain", "123", 123},
    {"negative", "-45", -45},
    {"stops_at_letter", "12abc", 12},
    {"letters", "abc", 0},
    {"empty", "", 0},
    {"lone_minus", "-", 0},
    {"double_minus", "--5", 0},
    {"leading_space", " 7", 0},
    {"plus_sign", "+7", 0},
    {"leading_zeros", "007", 7},
    {"max", "9223372036854775807", INT64_MAX},
    {"max_plus_one_wraps", "9223372036854775808", INT64_MIN},
    {"min", "-9223372036854775808", INT64_MIN},
    {"two_to_64_wraps_to_0", "18446744073709551616", 0},
    {"two_to_64_less_1_is_minus_1", "18446744073709551615", -1},
    {"high_byte_stops", "1\x80" "2", 1},
    {"high_byte_first", "\xb1", 0},  // 0xB1 - '0' is no digit as an unsigned byte
    {"minus_zero", "-0", 0},
    {"slash_and_colon", "/:", 0},  // the bytes either side of the digits
};

class Readint : public testing::TestWithParam<Conversion> {};

TEST_P(Readint, ConvertsOneRead)
{
    support::StdinFeed feed(GetParam().text + "\n");
    EXPECT_EQ(__readint(), GetParam().value);
    EXPECT_EQ(model::strtoint(GetParam().text.c_str()), GetParam().value) << "the model disagrees";
}

INSTANTIATE_TEST_SUITE_P(Texts, Readint, testing::ValuesIn(conversions),
                         support::by_name);

TEST(Argvint, ConvertsEveryTextAsAnArgument)
{
    auto [argv, expected] = support::every_text_as_argument(
        conversions, {PROBE, "argvint"}, [](int64_t value) { return std::to_string(value); });
    expected += "past=0\n";  // the index past the last argument
    const auto result = run(argv);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.status, 0);
}

TEST(Argvint, BeforeStartCountsNothingAndConvertsNothing)
{
    EXPECT_EQ(__argvint(-1), 0);
    EXPECT_EQ(__argvint(0), 0);
    EXPECT_EQ(__argvint(7), 0);
}

// ---- __readint: lines, ends and errors -------------------------------------

struct ReadCase {
    const char *name;
    std::string input;
    Input how;
    std::vector<int64_t> values;  // one __readint after another
    const char *rest = nullptr;   // then what one __readstr finds, if given
};

void PrintTo(const ReadCase &c, std::ostream *os) { *os << c.name; }

class ReadintSequence : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadintSequence, ReadsEachValue)
{
    const auto &c = GetParam();
    support::StdinFeed feed(c.input, c.how);
    for (std::size_t i = 0; i < c.values.size(); ++i)
        EXPECT_EQ(__readint(), c.values[i]) << "read " << i;
    if (c.how == Input::InterruptedPipe) {
        EXPECT_GT(feed.interruptions(), 0);
    }
    if (c.rest) {
        char buffer[64];
        const int64_t n = __readstr(buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, std::max<int64_t>(n, 0)), c.rest);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReadintSequence,
    testing::Values(ReadCase{"terminal_line", "42\n", Input::Terminal, {42}},
                    ReadCase{"terminal_lines", "42\n-7\n\x04", Input::Terminal, {42, -7, 0}},
                    ReadCase{"crlf", "42\r\n", Input::File, {42, 0}},
                    ReadCase{"end_of_input", "", Input::File, {0, 0}},
                    // 20 digits are converted (and wrap); the other 5 wait.
                    ReadCase{"twenty_five_digits", "1234567890123456789012345\n", Input::Pipe,
                             {static_cast<int64_t>(12345678901234567890ull), 12345, 0}},
                    ReadCase{"closed", "", Input::Closed, {0, 0}},
                    ReadCase{"directory", "", Input::Directory, {0, 0}},
                    // A line a call from anything; what follows stays in the input.
                    ReadCase{"file_lines", "6\n7\n", Input::File, {6, 7, 0}},
                    ReadCase{"pipe_lines", "6\n7\n", Input::Pipe, {6, 7, 0}},
                    ReadCase{"empty_line", "\n5", Input::Pipe, {0, 5, 0}},
                    ReadCase{"twenty_four_digits_then_a_line", "123456789012345678901234\n5\n", Input::File,
                             {static_cast<int64_t>(12345678901234567890ull), 1234, 5, 0}},
                    ReadCase{"then_readstr_from_a_file", "6\nrest\n", Input::File, {6}, "rest"},
                    ReadCase{"then_readstr_from_a_pipe", "-6\r\nrest", Input::Pipe, {-6}, "rest"},
                    ReadCase{"slow_pipe_interrupted", "6\n7\n", Input::InterruptedPipe, {6, 7, 0}},
                    ReadCase{"non_blocking_slow", "6\n7\n", Input::NonBlockingPipe, {6, 7, 0}},
                    // A stream socket as a pipe; from a socket of messages, one
                    // a call, its first line, the rest of it gone with it.
                    ReadCase{"stream_socket", "6\n7\nrest", Input::StreamSocket, {6, 7}, "rest"},
                    ReadCase{"packets", "11\n22\n|33\n|123456789012345678901234|44", Input::PacketSocket,
                             {11, 33, static_cast<int64_t>(12345678901234567890ull), 44, 0}},
                    ReadCase{"datagrams", "7|1\n2\n||5", Input::DatagramSocket, {7, 1, 0, 5}}),
    support::by_name);

TEST(Readint, GoesOnNormallyAfterAReadError)
{
    {
        support::StdinFeed feed("", Input::Directory);
        EXPECT_EQ(__readint(), 0);
    }
    support::StdinFeed feed("17\n");
    EXPECT_EQ(__readint(), 17);
}

// ---- __writeint ------------------------------------------------------------

std::string written(int64_t value)
{
    support::StdoutCapture capture;
    __writeint(value);
    return capture.text();
}

TEST(Writeint, EdgeValues)
{
    EXPECT_EQ(written(0), "0");
    EXPECT_EQ(written(-7), "-7");
    EXPECT_EQ(written(INT64_MAX), "9223372036854775807");
    EXPECT_EQ(written(INT64_MIN), "-9223372036854775808");
}

// Every digit count, each side of every power of ten, both signs, and the
// boundaries of the 8-digit groups; then random values of every length.
TEST(Writeint, MatchesToCharsOnEveryLength)
{
    std::vector<int64_t> values = {1, -1, 9, 10, 99, 100, INT64_MAX - 1, INT64_MIN + 1};
    for (int64_t power = 1; power <= INT64_MAX / 10; power *= 10)
        for (int64_t value : {power - 1, power, power + 1, 10 * power - 1})
            values.insert(values.end(), {value, -value});
    std::mt19937_64 random(2026);
    for (int i = 0; i < 2000; ++i)
        values.push_back(static_cast<int64_t>(random() >> (random() % 64)) * (i % 2 ? 1 : -1));

    support::StdoutCapture capture;
    std::string expected;
    for (int64_t value : values) {
        __writeint(value);
        __writestr(" ", 1);
        expected += model::writeint(value) + " ";
    }
    EXPECT_EQ(capture.text(), expected);
}

// ---- __writechr ------------------------------------------------------------

struct CharCase {
    const char *name;
    uint64_t code;
    std::string written;
};

void PrintTo(const CharCase &c, std::ostream *os) { *os << c.name; }

class Writechr : public testing::TestWithParam<CharCase> {};

TEST_P(Writechr, WritesTheCodesBytes)
{
    support::StdoutCapture capture;
    __writechr(GetParam().code);
    EXPECT_EQ(capture.text(), GetParam().written);
    EXPECT_EQ(model::writechr(GetParam().code), GetParam().written) << "the model disagrees";
}

INSTANTIATE_TEST_SUITE_P(
    Codes, Writechr,
    testing::Values(CharCase{"letter", 65, "A"}, CharCase{"newline", 10, "\n"}, CharCase{"zero", 0, ""},
                    CharCase{"byte_255", 255, "\xff"}, CharCase{"three_bytes_low_first", 0x434241, "ABC"},
                    CharCase{"stops_at_first_zero_byte", 0x43004241, "AB"},
                    CharCase{"low_byte_zero_writes_nothing", 0x4100, ""},
                    CharCase{"seven_bytes", 0x0047464544434241, "ABCDEFG"},
                    CharCase{"no_zero_byte_writes_eight", 0x4847464544434241, "ABCDEFGH"}),
    support::by_name);

// ---- register contract -----------------------------------------------------

TEST(Contract, ArgvintChangesOnlyRax)
{
    for (int64_t index : {-1, 0})
        EXPECT_EQ(support::check_both_alignments(Contract(__argvint).args(index).may_change({RAX})), "");
}

TEST(Contract, ReadintChangesOnlyRaxAndR11)
{
    // Each way of reading a line: one read and a seek back, byte by byte,
    // through interruptions, waiting in poll, and a message a read.
    for (Input how : {Input::File, Input::Pipe, Input::InterruptedPipe, Input::NonBlockingPipe, Input::StreamSocket,
                      Input::PacketSocket, Input::DatagramSocket})
        for (bool misaligned : {false, true}) {
            support::StdinFeed feed("-9223372036854775808\n1\n", how);
            const auto outcome =
                support::check_contract(Contract(__readint).may_change({RAX, R11}), misaligned);
            EXPECT_EQ(outcome.violations, "");
            EXPECT_EQ(outcome.out.gpr[support::RAX], uint64_t{1} << 63);
        }
}

// With RLIMIT_NOFILE at 0 poll fails: the line ends as on a read error.
TEST(Contract, ReadintAfterAFailingPollChangesOnlyRaxAndR11)
{
    for (bool misaligned : {false, true}) {
        const auto ends = support::open_input(Input::NonBlockingPipe);  // open, and nothing comes
        support::Swap input(0, ends.reader);
        support::Outcome outcome;
        {
            support::NoDescriptorsAllowed limit;
            outcome = support::check_contract(Contract(__readint).may_change({RAX, R11}), misaligned);
        }
        close(ends.writer);
        EXPECT_EQ(outcome.violations, "");
        EXPECT_EQ(outcome.out.gpr[support::RAX], 0u);
    }
}

TEST(Contract, WriteintAndWritechrChangeOnlyR11)
{
    struct Call {
        void (*routine)(int64_t);
        int64_t argument;
        const char *written;
    };
    const Call calls[] = {
        {&__writeint, INT64_MIN, "-9223372036854775808"},
        {&__writeint, 0, "0"},
        {&__writeint, 123456789012, "123456789012"},
        {reinterpret_cast<void (*)(int64_t)>(&__writechr), 0x4847464544434241, "ABCDEFGH"},
        {reinterpret_cast<void (*)(int64_t)>(&__writechr), 'A', "A"},
    };
    for (const auto &call : calls)
        for (bool misaligned : {false, true}) {
            support::StdoutCapture capture;
            const auto outcome =
                support::check_contract(Contract(call.routine).args(call.argument).may_change({R11}), misaligned);
            EXPECT_EQ(capture.text(), call.written);
            EXPECT_EQ(outcome.violations, "") << call.written;
        }
}

// ---- the installed object --------------------------------------------------

TEST(Object, ExportsItsRoutinesOnlyAndLinksAnywhere)
{
    EXPECT_EQ(support::check_object(STAGE_LIBDIR "/bareio/integer.o",
                                    {"__argvint", "__readint", "__writeint", "__writechr"}, {"__strtoint"}),
              "");
}

// ---- end to end ------------------------------------------------------------

TEST(EndToEnd, ReadintAtATerminalAndFromAPipe)
{
    auto result = run({PROBE, "readint", "3"}, "42\n-7\r\n\x04", Input::Terminal);
    EXPECT_EQ(result.out, "42\n-7\n0\n");
    // A line a call from a pipe or a file, and what one program leaves of
    // a file is there for the next.
    for (Input how : {Input::Pipe, Input::File}) {
        result = run({PROBE, "readint", "3"}, "42\n-7\n", how);
        EXPECT_EQ(result.out, "42\n-7\n0\n");
    }
    result = run({"/bin/sh", "-c", "\"$0\" readint 1; \"$0\" readint 2", PROBE}, "1\n2\n3\n", Input::File);
    EXPECT_EQ(result.out, "1\n2\n3\n");
#ifdef HAVE_NASM
    // The README's mul, from a pipe, and two of it sharing a file.
    EXPECT_EQ(run({EXAMPLES "/mul"}, "6\n7\n").out, "42\n");
    result = run({"/bin/sh", "-c", "\"$0\"; \"$0\"", EXAMPLES "/mul"}, "6\n7\n8\n9\n", Input::File);
    EXPECT_EQ(result.out, "42\n72\n");
#endif
    result = run({PROBE, "readint", "1"}, "", Input::Closed);
    EXPECT_EQ(result.out, "0\n");
    EXPECT_EQ(result.status, 0);
    // Waiting on an empty non-blocking pipe when poll cannot work: 0 at once.
    support::Process starved({"/usr/bin/prlimit", "--nofile=0", PROBE, "readint", "1"}, Input::NonBlockingPipe);
    EXPECT_TRUE(starved.expect("0\n", support::Millis(5000))) << starved.out();
}

}  // namespace
