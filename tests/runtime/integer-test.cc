// integer: integer text to value, integers and characters to output.
#include "cases.h"
#include "contract.h"
#include "model.h"
#include "object-check.h"
#include "process.h"
#include "redirect.h"

#include <bareio.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/socket.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

extern "C" void bareio_scribble();

namespace {

using support::Contract;
using support::Input;
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

class ReadintTable : public testing::TestWithParam<Conversion> {};

TEST_P(ReadintTable, ConvertsOneRead)
{
    support::StdinFeed feed(GetParam().text + "\n");
    EXPECT_EQ(__readint(), GetParam().value);
    EXPECT_EQ(model::strtoint(GetParam().text.c_str()), GetParam().value) << "the model disagrees";
}

INSTANTIATE_TEST_SUITE_P(, ReadintTable, testing::ValuesIn(conversions), support::by_name);

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
    for (int64_t index : {-1, 0, 7}) {
        int64_t value = -1;
        EXPECT_EQ(bareio_argvint(index, &value), index < 0) << index;  // CF: no argument
        EXPECT_EQ(value, 0) << index;
    }
}

// ---- __readint: lines, ends and errors -------------------------------------

struct ReadCase {
    const char *name;
    std::string input;
    Input how;
    std::vector<int64_t> values;  // one __readint after another
    const char *carries;          // each read's CF: '1' when it took no input
    const char *rest = nullptr;   // then what one __readstr finds, if given
};

void PrintTo(const ReadCase &c, std::ostream *os) { *os << c.name; }

class ReadintSequence : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadintSequence, ReadsEachValue)
{
    const auto &c = GetParam();
    support::StdinFeed feed(c.input, c.how);
    ASSERT_EQ(std::strlen(c.carries), c.values.size());
    for (std::size_t i = 0; i < c.values.size(); ++i) {
        int64_t value = -1;
        EXPECT_EQ(bareio_readint(&value), c.carries[i] == '0') << "read " << i;
        EXPECT_EQ(value, c.values[i]) << "read " << i;
    }
    if (c.how == Input::InterruptedPipe) {
        EXPECT_GT(feed.interruptions(), 0);
    }
    if (c.rest) {
        char buffer[64];
        const int64_t n = __readstr(buffer, sizeof buffer);
        EXPECT_EQ(std::string(buffer, std::max<int64_t>(n, 0)), c.rest);
    }
}

INSTANTIATE_TEST_SUITE_P(, ReadintSequence,
    testing::Values(ReadCase{"terminal_line", "42\n", Input::Terminal, {42}, "0"},
                    ReadCase{"terminal_lines", "42\n-7\n\x04", Input::Terminal, {42, -7, 0}, "001"},
                    ReadCase{"crlf", "42\r\n", Input::File, {42, 0}, "01"},
                    ReadCase{"end_of_input", "", Input::File, {0, 0}, "11"},
                    // 20 digits are converted (and wrap); the other 5 wait.
                    ReadCase{"twenty_five_digits", "1234567890123456789012345\n", Input::Pipe,
                             {static_cast<int64_t>(12345678901234567890ull), 12345, 0}, "001"},
                    ReadCase{"closed", "", Input::Closed, {0, 0}, "11"},
                    ReadCase{"directory", "", Input::Directory, {0, 0}, "11"},
                    // A line a call from anything; what follows stays in the input.
                    ReadCase{"file_lines", "6\n7\n", Input::File, {6, 7, 0}, "001"},
                    ReadCase{"pipe_lines", "6\n7\n", Input::Pipe, {6, 7, 0}, "001"},
                    ReadCase{"empty_line", "\n5", Input::Pipe, {0, 5, 0}, "001"},
                    ReadCase{"twenty_four_digits_then_a_line", "123456789012345678901234\n5\n", Input::File,
                             {static_cast<int64_t>(12345678901234567890ull), 1234, 5, 0}, "0001"},
                    ReadCase{"then_readstr_from_a_file", "6\nrest\n", Input::File, {6}, "0", "rest"},
                    ReadCase{"then_readstr_from_a_pipe", "-6\r\nrest", Input::Pipe, {-6}, "0", "rest"},
                    ReadCase{"slow_pipe_interrupted", "6\n7\n", Input::InterruptedPipe, {6, 7, 0}, "001"},
                    ReadCase{"non_blocking_slow", "6\n7\n", Input::NonBlockingPipe, {6, 7, 0}, "001"},
                    // A stream socket as a pipe; from a socket of messages, one
                    // a call, its first line, the rest of it gone with it.
                    ReadCase{"stream_socket", "6\n7\nrest", Input::StreamSocket, {6, 7}, "00", "rest"},
                    ReadCase{"packets", "11\n22\n|33\n|123456789012345678901234|44", Input::PacketSocket,
                             {11, 33, static_cast<int64_t>(12345678901234567890ull), 44, 0}, "00001"},
                    ReadCase{"partial_last_line", "5", Input::File, {5, 0}, "01"},
                    ReadCase{"stream_socket_end", "", Input::StreamSocket, {0, 0}, "11"},
                    ReadCase{"datagrams", "7|1\n2\n||5", Input::DatagramSocket, {7, 1, 0, 5}, "0010"}),
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

// A blocking socket's SO_RCVTIMEO ends the wait: with nothing sent, no
// input (CF set); with a partial line sent, that line (CF clear).
TEST(Readint, ASocketsTimeOutEndsTheWait)
{
    for (const std::string sent : {"", "12"}) {
        const auto ends = support::open_input(Input::StreamSocket);
        ASSERT_EQ(write(ends.writer, sent.data(), sent.size()), ssize_t(sent.size()));
        const timeval limit{0, 200000};
        setsockopt(ends.reader, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        support::Swap input(0, ends.reader);
        const auto start = std::chrono::steady_clock::now();
        int64_t value = -1;
        EXPECT_EQ(bareio_readint(&value), !sent.empty()) << "sent " << sent;
        EXPECT_EQ(value, sent.empty() ? 0 : 12);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1)) << "sent " << sent;
        close(ends.writer);
    }
}

// ---- __writeint ------------------------------------------------------------

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

INSTANTIATE_TEST_SUITE_P(, Writechr,
    testing::Values(CharCase{"letter", 65, "A"}, CharCase{"newline", 10, "\n"}, CharCase{"zero", 0, ""},
                    CharCase{"byte_255", 255, "\xff"}, CharCase{"three_bytes_low_first", 0x434241, "ABC"},
                    CharCase{"stops_at_first_zero_byte", 0x43004241, "AB"},
                    CharCase{"low_byte_zero_writes_nothing", 0x4100, ""},
                    CharCase{"seven_bytes", 0x0047464544434241, "ABCDEFG"},
                    CharCase{"no_zero_byte_writes_eight", 0x4847464544434241, "ABCDEFGH"}),
    support::by_name);

// ---- register contract -----------------------------------------------------

// Each routine's contract on each of its paths, a row a call (contract.h).
class ContractTable : public testing::TestWithParam<Contract> {};
TEST_P(ContractTable, Holds) { EXPECT_EQ(support::check_both_alignments(GetParam()), GetParam().violations); }

std::vector<Contract> contracts()
{
    std::vector<Contract> rows;
    for (int64_t index : {-1, 0})
        rows.push_back(Contract(__argvint).args(index).carry(index >= 0));
    // Each way of reading a line: one read and a seek back, byte by byte,
    // through interruptions, waiting in poll, and a message a read.
    for (Input how : {Input::File, Input::Pipe, Input::InterruptedPipe, Input::NonBlockingPipe, Input::StreamSocket,
                      Input::PacketSocket, Input::DatagramSocket})
        rows.push_back(Contract(__readint).input("-9223372036854775808\n1\n", how).result(1ull << 63).carry(false));
    for (int64_t value : {INT64_MIN, INT64_MAX, int64_t{0}, int64_t{-7}, int64_t{123456789012}})
        rows.push_back(Contract(__writeint).args(value).writes(std::to_string(value)).carry(false));
    rows.push_back(Contract(__writechr).args(0x4847464544434241).writes("ABCDEFGH").carry(false));
    rows.push_back(Contract(__writechr).args('A').writes("A").carry(false));
    // A routine of the harness's own that writes above its return address:
    // the check guards the stack.
    rows.push_back(Contract(bareio_scribble).writes("").carry(false).reports(
        "stack at rsp+0 changed; stack at rsp+0 changed; "));
    return rows;
}

INSTANTIATE_TEST_SUITE_P(, ContractTable, testing::ValuesIn(contracts()), support::by_routine);

// With RLIMIT_NOFILE at 0 poll fails: the line ends as on a read error.
TEST(Contract, ReadintAfterAFailingPollChangesOnlyRaxAndR11)
{
    for (bool misaligned : {false, true}) {
        const auto ends = support::open_input(Input::NonBlockingPipe);  // open, and nothing comes
        support::Swap input(0, ends.reader);
        support::Outcome outcome;
        {
            support::NoDescriptorsAllowed limit;
            outcome = support::check_contract(Contract(__readint).carry(true), misaligned);
        }
        close(ends.writer);
        EXPECT_EQ(outcome.violations, "");
        EXPECT_EQ(outcome.out.gpr[support::RAX], 0u);
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

// Faults the kernel will not make by itself, injected by strace (an lseek
// that answers on a pipe, a getsockopt refused), and the system calls of
// one __readint of "12345\n" (besides execve, write and exit).
struct StraceCase {
    const char *name;
    const char *fault;  // or nullptr: count the calls
    Input how;
    std::vector<std::string> sent;  // a message each (the file's bytes)
    std::string out;
    long most_calls = 0;
};

void PrintTo(const StraceCase &c, std::ostream *os) { *os << c.name; }

class Strace : public testing::TestWithParam<StraceCase> {};

TEST_P(Strace, ReadsEveryValue)
{
    const auto &c = GetParam();
    if (!support::on_path("strace"))
        GTEST_SKIP() << "strace is not in PATH: the injected faults are left untried";
    const std::string reads = std::to_string(std::count(c.out.begin(), c.out.end(), '\n'));
    support::Process probe({"strace", "-f", "-qq", "-o", c.fault ? "/dev/null" : "/dev/stderr", "-e",
                            c.fault ? c.fault : "trace=!execve,write,exit,exit_group", PROBE, "readint", reads},
                           c.how, c.how == Input::File ? c.sent[0] : "");
    for (std::size_t i = 0; c.how != Input::File && i < c.sent.size(); ++i)
        probe.send(c.sent[i]);
    const auto result = probe.finish(support::Millis(10000));
    EXPECT_EQ(result.out, c.out);
    if (!c.fault) {
        EXPECT_LE(std::count(result.err.begin(), result.err.end(), '\n'), c.most_calls) << result.err;
    }
}

INSTANTIATE_TEST_SUITE_P(, Strace,
    testing::Values(StraceCase{"lseek_answers_on_a_pipe", "inject=lseek:retval=0", Input::Pipe, {"11\n22\n33\n"},
                               "11\n22\n33\n"},
                    StraceCase{"getsockopt_refused_packets", "inject=getsockopt:error=EPERM", Input::PacketSocket,
                               {"1\n", "2\n", "3\n"}, "1\n2\n3\n"},
                    StraceCase{"getsockopt_refused_stream", "inject=getsockopt:error=EPERM", Input::StreamSocket,
                               {"1\n2", "\n3\n"}, "1\n2\n3\n"},
                    StraceCase{"calls_from_a_file", nullptr, Input::File, {"12345\n"}, "12345\n", 3},
                    StraceCase{"calls_from_a_pipe", nullptr, Input::Pipe, {"12345\n"}, "12345\n", 8}),
    support::by_name);

// summax in NASM, and in C through bareio.h's status functions by gcc and
// clang at -O0 and -O2, with and without -mno-red-zone, marked for CET and
// linked by ld -z cet-report=error: sums until end of input, stops at a
// terminal's ^D, exits with 1 when its output is lost; and gdb backtraces
// through the inline call of the -O2 -mno-red-zone build.
TEST(EndToEnd, SummaxStopsAtTheEndOfInputAndReportsLostOutput)
{
    std::vector<std::string> programs = {EXAMPLES "/summax_c"};
#ifdef HAVE_NASM
    programs.push_back(EXAMPLES "/summax");
#endif
    std::string folder = testing::TempDir() + "summax-XXXXXX";
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    const struct Removed {
        std::string path;
        ~Removed() { std::filesystem::remove_all(path); }
    } removed{folder};
    const std::string work = folder + "/";
    for (std::string cc : {"gcc", "clang"})
        for (std::string level : {"-O0", "-O2"})
            for (bool red_zone : {true, false}) {
                const std::string out = work + cc + level + (red_zone ? "" : "-no-red-zone");
                if (!support::on_path(cc))
                    continue;
                // No shell: the staged tree's path may hold a space.
                std::vector<std::string> compile = {cc, "-c", "-g", level};
                if (!red_zone)
                    compile.insert(compile.end(), {"-mno-red-zone", "-DBAREIO_NO_RED_ZONE"});
                compile.insert(compile.end(), {"-ffreestanding", "-fno-stack-protector", "-fcf-protection=full",
                                               "-I" STAGE "/include", EXAMPLE_SOURCES "/summax.c", "-o", out + ".o"});
                EXPECT_EQ(run(compile).status, 0) << out;
                EXPECT_EQ(run({"ld", "-z", "cet-report=error", "-o", out, out + ".o", STAGE_LIBDIR "/bareio/startup.o",
                               STAGE_LIBDIR "/bareio/integer.o", STAGE_LIBDIR "/bareio/decimal.o"})
                              .status,
                          0)
                    << out;
                EXPECT_NE(support::output_of({"readelf", "-n", out}).find("x86 feature: IBT, SHSTK"), std::string::npos)
                    << out;
                programs.push_back(out);
            }
    for (const auto &program : programs) {
        auto result = run({program}, "3\n0\n12\n5\n");
        EXPECT_EQ(result.out, "sum 20, max 12\n") << program;
        EXPECT_EQ(result.status, 0) << program;
        support::Process terminal({program}, Input::Terminal, "3\n0\n\x04");
        EXPECT_TRUE(terminal.expect("sum 3, max 3\n", support::Millis(5000))) << program << terminal.out();
        const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
        support::Process lost({program}, Input::Pipe, "1\n", full);
        close(full);
        EXPECT_EQ(lost.finish(support::Millis(5000)).status, 1) << program;
    }
    if (!support::on_path("gdb") || !support::on_path("gcc"))
        return;
    const auto gdb = run({"gdb", "-nx", "-batch", "-ex", "break __readint", "-ex", "run < " EXAMPLE_SOURCES "/summax.c",
                          "-ex", "bt", work + "gcc-O2-no-red-zone"},
                         {}, Input::Pipe, support::Millis(60000));
    std::size_t at = 0;
    for (const char *frame : {"#0 ", "__readint", "summax_main", "__start"})
        EXPECT_NE(at = gdb.out.find(frame, at), std::string::npos) << frame << " missing:\n" << gdb.out;
}

}  // namespace
