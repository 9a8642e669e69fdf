// startup: start-up and exit, argument access, text input and output.
//
// In-process the routines are called as C functions and through the
// register-contract trampoline; __start itself runs in forked children on a
// hand-made start-up block, and end to end in programs started by the kernel.
#include "cases.h"
#include "contract.h"
#include "object-check.h"
#include "process.h"
#include "redirect.h"

#include <bareio.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <gtest/gtest.h>
#include <string>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern "C" [[noreturn]] void bareio_enter(void *block, int (*main_routine)());

namespace {

using support::Contract;
using support::Input;
using support::Output;
using support::run;

// ---- __startarg before __start ---------------------------------------------

TEST(Startarg, BeforeStartThereAreNoArguments)
{
    for (int64_t index : {int64_t{-1}, int64_t{-2}, INT64_MIN, int64_t{0}, int64_t{1}, INT64_MAX}) {
        intptr_t text = -1;
        EXPECT_EQ(bareio_startarg(index, &text), index < 0) << "index " << index;  // CF: no argument
        EXPECT_EQ(text, 0) << "index " << index;
    }
}

// ---- __start and __startarg on a hand-made start-up block -------------------

// Runs main_routine through __start in a child whose start-up block, laid
// as the kernel lays it (argc, argv[], 0, envp[], 0), holds args (the
// program name first); returns the child's exit status.
int start_child(std::vector<const char *> args, int (*main_routine)())
{
    pid_t pid = fork();
    if (pid == 0) {
        static char stack[1 << 18] __attribute__((aligned(16)));
        auto *top = reinterpret_cast<uintptr_t *>(stack + sizeof stack);
        const std::size_t words = 1 + args.size() + 1 + 2;  // argc, argv, 0, one env, 0
        uintptr_t *block = top - ((words + 1) & ~std::size_t{1});  // 16-byte aligned
        std::size_t w = 0;
        block[w++] = args.size();
        for (const char *arg : args)
            block[w++] = reinterpret_cast<uintptr_t>(arg);
        block[w++] = 0;
        block[w++] = reinterpret_cast<uintptr_t>("HOME=/nowhere");
        block[w++] = 0;
        bareio_enter(block, main_routine);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int main_three_arguments()
{
    // Program name, "a", "" : two arguments; the environment stays hidden.
    if (__startarg(-1) != 2 || __startarg(-2) != 2 || __startarg(INT64_MIN) != 2)
        return 1;
    if (std::strcmp(reinterpret_cast<const char *>(__startarg(0)), "a") != 0)
        return 2;
    if (std::strcmp(reinterpret_cast<const char *>(__startarg(1)), "") != 0)
        return 3;
    if (__startarg(2) != 0 || __startarg(3) != 0 || __startarg(INT64_MAX) != 0)
        return 4;
    // The contract of the started path: only rax may change.
    for (int64_t index : {-1, 0, 1, 2})
        if (!support::check_both_alignments(Contract(__startarg).args(index).carry(index >= 2)).empty())
            return 5;
    return 42;
}

// No arguments: a count of 0, and no index reaches the environment.
int main_without_arguments() { return __startarg(-1) == 0 && __startarg(0) == 0 && __startarg(1) == 0 ? 0 : 1; }
int main_returns_513() { return 513; }

TEST(Start, RunsMainOnTheBlockAndExitsWithItsResult)
{
    EXPECT_EQ(start_child({"prog", "a", ""}, main_three_arguments), 42);
    EXPECT_EQ(start_child({"prog"}, main_without_arguments), 0);
    EXPECT_EQ(start_child({"prog"}, main_returns_513), 1);  // the kernel keeps 8 bits
    EXPECT_EQ(start_child({}, main_without_arguments), 0);  // argc 0: not even a name
}

// ---- __readstr ----------------------------------------------------------------

struct ReadCase {
    const char *name;
    std::string input;
    Input how;
    uint64_t capacity;
    std::vector<int64_t> counts;     // one read after another
    std::vector<std::string> texts;  // the counted bytes of each read
    const char *carries;             // each read's CF: '1' when it took no byte
};

void PrintTo(const ReadCase &c, std::ostream *os) { *os << c.name; }

class ReadstrTable : public testing::TestWithParam<ReadCase> {};

TEST_P(ReadstrTable, CountsEachRead)
{
    const auto &c = GetParam();
    support::StdinFeed feed(c.input, c.how);
    for (std::size_t i = 0; i < c.counts.size(); ++i) {
        char buffer[64];
        std::memset(buffer, 0xAA, sizeof buffer);
        int64_t n = 0;
        EXPECT_EQ(bareio_readstr(buffer, c.capacity, &n), c.carries[i] == '0') << "read " << i;
        ASSERT_EQ(n, c.counts[i]) << "read " << i;
        if (n > 0) {
            EXPECT_EQ(std::string(buffer, n), c.texts[i]) << "read " << i;
        }
        EXPECT_EQ(static_cast<unsigned char>(buffer[c.capacity]), 0xAA) << "wrote past the capacity";
    }
}

const std::string digits25 = "1234567890123456789012345";

INSTANTIATE_TEST_SUITE_P(, ReadstrTable,
    testing::Values(
        ReadCase{"terminal_line", "hello\n", Input::Terminal, 20, {5}, {"hello"}, "0"},
        ReadCase{"terminal_one_line_a_read", "12\n34\n\x04", Input::Terminal, 20, {2, 2, 0}, {"12", "34", ""}, "001"},
        ReadCase{"no_newline_then_end", "hello", Input::File, 20, {5, 0}, {"hello", ""}, "01"},
        ReadCase{"end_of_input", "", Input::File, 20, {0, 0}, {"", ""}, "11"},
        ReadCase{"carriage_return_kept", "12\r\n", Input::File, 20, {3}, {"12\r"}, "0"},
        ReadCase{"capacity_then_rest", digits25, Input::Pipe, 20, {20, 5, 0},
                 {digits25.substr(0, 20), digits25.substr(20), ""}, "001"},
        ReadCase{"two_lines_one_read", "12\n34\n", Input::Pipe, 20, {5, 0}, {"12\n34", ""}, "01"},
        ReadCase{"lone_newline", "\n", Input::File, 20, {0, 0}, {"", ""}, "01"},
        ReadCase{"newline_only_at_the_end_counts", "a\nb", Input::File, 20, {3}, {"a\nb"}, "0"},
        ReadCase{"capacity_zero", "abc", Input::File, 0, {0}, {""}, "1"},
        ReadCase{"closed", "", Input::Closed, 20, {-EBADF}, {""}, "1"},
        ReadCase{"directory", "", Input::Directory, 20, {-EISDIR}, {""}, "1"}),
    support::by_name);

TEST(Readstr, LeavesTheNewlineInTheBuffer)
{
    support::StdinFeed feed("hello\n", Input::Terminal);
    char buffer[8];
    std::memset(buffer, 0xAA, sizeof buffer);
    ASSERT_EQ(__readstr(buffer, 7), 5);
    EXPECT_EQ(std::string(buffer, 6), "hello\n");
    EXPECT_EQ(static_cast<unsigned char>(buffer[6]), 0xAA);  // no zero byte stored
}

// ---- __writestr -----------------------------------------------------------------

struct WriteCase {
    const char *name;
    std::string text;  // the bytes in memory, a zero byte after them
    uint64_t length;
    std::string written;
};

void PrintTo(const WriteCase &c, std::ostream *os) { *os << c.name; }

class WritestrTable : public testing::TestWithParam<WriteCase> {};

TEST_P(WritestrTable, WritesTheRightBytes)
{
    const auto &c = GetParam();
    support::StdoutCapture capture;
    EXPECT_TRUE(bareio_writestr(c.text.c_str(), c.length)) << "CF set";
    EXPECT_EQ(capture.text(), c.written);
}

INSTANTIATE_TEST_SUITE_P(, WritestrTable,
    testing::Values(WriteCase{"length_cuts", "hello", 3, "hel"}, WriteCase{"zero_terminated", "hello", 0, "hello"},
                    WriteCase{"empty", "", 0, ""}, WriteCase{"zero_bytes_inside", std::string("a\0b", 3), 3,
                                                             std::string("a\0b", 3)},
                    WriteCase{"stops_at_zero", std::string("ab\0cd", 5), 0, "ab"},
                    WriteCase{"high_bytes", "\xff\x80\x01", 0, "\xff\x80\x01"},
                    WriteCase{"large", std::string(1 << 20, 'x'), 0, std::string(1 << 20, 'x')}),
    support::by_name);

// The scan for the zero byte, at every length.
TEST(Writestr, FindsTheZeroByteAtEveryOffset)
{
    for (std::size_t length = 0; length < 40; ++length) {
        const std::string text = std::string(length, 'x') + std::string("\0tail", 5);
        support::StdoutCapture capture;
        __writestr(text.data(), 0);
        EXPECT_EQ(capture.text(), std::string(length, 'x')) << length;
    }
}

// A blocking socket that nobody reads, with SO_SNDTIMEO of 0.2 s: the
// time-out ends the call, and the bytes lost set CF.
TEST(Writestr, ASocketsSendTimeOutEndsTheCall)
{
    const auto ends = support::open_input(Input::StreamSocket);
    const timeval limit{0, 200000};
    setsockopt(ends.writer, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    const std::string large(1 << 20, 'x');
    const auto start = std::chrono::steady_clock::now();
    {
        support::Swap output(1, ends.writer);
        EXPECT_FALSE(bareio_writestr(large.data(), large.size()));
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    close(ends.reader);
}

// 4 MiB into a pipe that a slow reader drains: blocking under a 1 ms timer
// with no SA_RESTART (short counts, EINTR before any byte), and non-blocking
// (EAGAIN whenever the pipe is full). Every byte must still arrive.
TEST(Writestr, EveryByteArrivesInterruptedOrNonBlocking)
{
    const std::size_t size = 4 << 20;
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        data[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
    for (bool nonblocking : {false, true}) {
        support::StdoutDrain drain(nonblocking);
        support::Interrupter interrupter;
        __writestr(data.data(), size);
        EXPECT_TRUE(nonblocking || interrupter.count() > 0) << "no interruption happened";
        const std::string received = drain.text();
        EXPECT_EQ(received.size(), size) << "nonblocking " << nonblocking;
        EXPECT_TRUE(received == data) << "nonblocking " << nonblocking;
    }
}

// ---- register contract -------------------------------------------------------

// Each routine's contract on each of its paths, a row a call (contract.h).
class ContractTable : public testing::TestWithParam<Contract> {};
TEST_P(ContractTable, Holds) { EXPECT_EQ(support::check_both_alignments(GetParam()), GetParam().violations); }

char buffer[32];
const std::string large(1 << 20, 'x');

std::vector<Contract> contracts()
{
    std::vector<Contract> rows;
    for (int64_t index : {-1, 0, 5})
        rows.push_back(Contract(__startarg).args(index).carry(index >= 0));
    for (Input how : {Input::File, Input::Pipe, Input::StreamSocket, Input::PacketSocket})
        rows.push_back(Contract(__readstr).args(buffer, 20).input("hello\n", how).result(5).carry(false));
    for (uint64_t length : {0, 3})
        rows.push_back(Contract(__writestr).args("hello", length).writes(length ? "hel" : "hello").carry(false));
    // The null text, the wait for room in a full non-blocking pipe, and a
    // write error (output closed: EBADF), which ends the call at once.
    for (Output to : {Output::File, Output::DrainedPipe})
        rows.push_back(Contract(__writestr).args(static_cast<const char *>(nullptr)).writes("", to).carry(false));
    rows.push_back(Contract(__writestr).args(large.c_str()).writes(large, Output::DrainedPipe).carry(false));
    for (uint64_t length : {0, 4})
        rows.push_back(Contract(__writestr).args("lost", length).writes("", Output::Closed).carry(true));
    return rows;
}

INSTANTIATE_TEST_SUITE_P(, ContractTable, testing::ValuesIn(contracts()), support::by_routine);

// With RLIMIT_NOFILE at 0 poll fails: a write that would block then ends
// as on a write error, at once.
TEST(Contract, WritestrAfterAFailingPollChangesOnlyR11)
{
    for (bool misaligned : {false, true}) {
        support::StdoutDrain drain(true);
        support::Outcome outcome;
        {
            support::NoDescriptorsAllowed limit;
            outcome = support::check_contract(Contract(__writestr).args(large.c_str(), large.size()).carry(true),
                                              misaligned);
        }
        EXPECT_LT(drain.text().size(), large.size());
        EXPECT_EQ(outcome.violations, "");
    }
}

// ---- the installed object --------------------------------------------------

TEST(Object, ExportsItsRoutinesOnlyAndLinksAnywhere)
{
    EXPECT_EQ(support::check_object(STAGE_LIBDIR "/bareio/startup.o",
                                    {"__start", "__startarg", "__readstr", "__writestr"}, {}),
              "");
    const std::string symbols = support::output_of({"nm", STAGE_LIBDIR "/bareio/startup.o"});
    EXPECT_NE(symbols.find(" d __start_stack\n"), std::string::npos) << symbols;  // local, in .data
}

// gdb unwinds from inside the run-time back to the program's entry.
TEST(Object, GdbBacktracesThroughTheRuntime)
{
    if (!support::on_path("gdb"))
        GTEST_SKIP() << "gdb is not in PATH (an optional test tool): the backtrace is left unchecked";
    const auto gdb = run({"gdb", "-nx", "-batch", "-ex", "break __writestr", "-ex", "run", "-ex", "bt", "--args",
                          PROBE, "argvint", "5"},
                         {}, Input::Pipe, support::Millis(60000));
    const std::string trace = gdb.out + gdb.err;
    std::size_t at = 0;
    for (const char *frame : {"#0 ", "__writestr", "#1 ", "__writeint", "#2 ", "probe_main", "#3 ", "__start"}) {
        at = trace.find(frame, at);
        ASSERT_NE(at, std::string::npos) << frame << " missing from:\n" << trace;
    }
    EXPECT_EQ(trace.find("#4 "), std::string::npos) << "the unwinder should stop in __start:\n" << trace;
}

// ---- end to end: programs started by the kernel ----------------------------

struct E2eCase {
    const char *name;
    std::vector<std::string> args;  // after the program
    std::string input;
    Input how;
    std::string out;
    int status;
};

void PrintTo(const E2eCase &c, std::ostream *os) { *os << c.name; }

class EndToEndTable : public testing::TestWithParam<E2eCase> {};

TEST_P(EndToEndTable, Runs)
{
    const auto &c = GetParam();
    std::vector<std::string> argv = {PROBE};
    argv.insert(argv.end(), c.args.begin(), c.args.end());
    const auto result = run(argv, c.input, c.how);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.status, c.status);
    EXPECT_FALSE(result.timed_out);
}

INSTANTIATE_TEST_SUITE_P(, EndToEndTable,
    testing::Values(
        E2eCase{"args_a_b", {"args", "a", "b"}, "", Input::Pipe,
                "count=3\n[args]\n[a]\n[b]\npast=0\nminus2=3\nmin=3\n", 0},
        E2eCase{"args_empty_argument", {"args", ""}, "", Input::Pipe,
                "count=2\n[args]\n[]\npast=0\nminus2=2\nmin=2\n", 0},
        E2eCase{"status_3", {"status", "3"}, "", Input::Pipe, "", 3},
        E2eCase{"status_256", {"status", "256"}, "", Input::Pipe, "", 0},
        E2eCase{"status_255", {"status", "255"}, "", Input::Pipe, "", 255},
        E2eCase{"status_513", {"status", "513"}, "", Input::Pipe, "", 1},
        E2eCase{"read_terminal_lines", {"readstr", "20"}, "hello\nworld\n\x04", Input::Terminal,
                "5:hello\n5:world\n0:\n", 0},
        E2eCase{"read_no_newline", {"readstr", "20"}, "hello", Input::File, "5:hello\n0:\n", 0},
        E2eCase{"read_end_of_input", {"readstr", "20"}, "", Input::Pipe, "0:\n", 0},
        E2eCase{"read_crlf", {"readstr", "20"}, "12\r\n", Input::File, "3:12\r\n0:\n", 0},
        E2eCase{"read_capacity", {"readstr", "20"}, "1234567890123456789012345", Input::File,
                "20:12345678901234567890\n5:12345\n0:\n", 0},
        E2eCase{"read_pipe_two_lines", {"readstr", "20"}, "12\n34\n", Input::File, "5:12\n34\n0:\n", 0},
        E2eCase{"read_closed", {"readstr", "20"}, "", Input::Closed, "-9:\n", 0},
        E2eCase{"read_directory", {"readstr", "20"}, "", Input::Directory, "-21:\n", 0}),
    support::by_name);

TEST(EndToEnd, MainIsEnteredAsAfterACallWithRaxZeroAndRdiItself)
{
    for (const std::vector<std::string> &argv : {std::vector<std::string>{ENTRY_STATE},
                                                 std::vector<std::string>{ENTRY_STATE, "x", "yz"}}) {
        const auto result = run(argv);
        EXPECT_EQ(result.status, 0) << "findings (see entry-state.S): " << result.status;
    }
}

TEST(EndToEnd, ArgsExamplesWriteEachArgumentAndExitWithTheCount)
{
    std::vector<std::string> programs = {EXAMPLES "/args_gas"};
#ifdef HAVE_NASM
    programs.push_back(EXAMPLES "/args_nasm");
#endif
    for (const auto &program : programs) {
        auto result = run({program});
        EXPECT_EQ(result.out, "") << program;
        EXPECT_EQ(result.status, 0) << program;
        result = run({program, "one", "", "three"});
        EXPECT_EQ(result.out, "one\n\nthree\n") << program;
        EXPECT_EQ(result.status, 3) << program;
    }
}

}  // namespace
