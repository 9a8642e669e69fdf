// startup: start-up and exit, argument access, text input and output.
//
// In-process every call goes through the register-contract check (one
// table per routine); __start itself runs in forked children on a
// hand-made start-up block, and end to end in programs started by the
// kernel.
#include "cases.h"
#include "contract.h"
#include "lines.h"
#include "object-check.h"
#include "process.h"

#include <bareio.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <string>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern "C" [[noreturn]] void bareio_enter(void *block, int (*main_routine)());
extern "C" void bareio_scribble();

namespace {

using namespace support;

// ---- __startarg before __start, and __start on a hand-made block ---------------

BAREIO_TABLE(Startarg, before_start(__startarg, {-1, -2, INT64_MIN, 0, 1, INT64_MAX}, clear, carry));

// A routine of the harness's own that keeps every register but writes
// above its return address: the check guards the caller's stack.
BAREIO_TABLE(Check, std::vector<Contract>{Contract("scribble", bareio_scribble).writes("").returns(clear).reports(
                        "stack at rsp+0 changed; stack at rsp+0 changed; ")});

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

// Program name, "a", "": two arguments; the environment stays hidden.
int main_three_arguments()
{
    for (int64_t index : {int64_t{-1}, int64_t{-2}, INT64_MIN, int64_t{2}, int64_t{3}, INT64_MAX})
        if (!check(Contract("", __startarg).args(index).gives(index < 0 ? 2 : 0, index < 0 ? clear : carry)).empty())
            return 1;
    const auto text = [](int64_t index) { return reinterpret_cast<const char *>(__startarg(index)); };
    return std::strcmp(text(0), "a") == 0 && std::strcmp(text(1), "") == 0 ? 42 : 2;
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

// ---- __readstr: one read ---------------------------------------------------------

const std::string digits25 = "1234567890123456789012345";

std::vector<Contract> readstr_rows()
{
    const auto read = [](const char *name, uint64_t capacity) {
        return Contract(name, __readstr).args(buffer, capacity);
    };
    std::vector<Contract> rows = {
        read("terminal_line", 20).input("hello\n", Input::Terminal).gives(5, clear, "hello\n"),
        read("terminal_one_line_a_read", 20).input("12\n34\n\x04", Input::Terminal)
            .gives(2, clear, "12\n").gives(2, clear, "34\n").gives(0, carry),
        read("no_newline_then_end", 20).input("hello").gives(5, clear, "hello").gives(0, carry),
        read("end_of_input", 20).input("").gives(0, carry).gives(0, carry),
        read("carriage_return_kept", 20).input("12\r\n").gives(3, clear, "12\r\n"),
        read("capacity_then_rest", 20).input(digits25, Input::Pipe)
            .gives(20, clear, digits25.substr(0, 20)).gives(5, clear, digits25.substr(20)).gives(0, carry),
        read("two_lines_one_read", 20).input("12\n34\n", Input::Pipe).gives(5, clear, "12\n34\n").gives(0, carry),
        read("lone_newline", 20).input("\n").gives(0, clear, "\n").gives(0, carry),
        read("newline_only_at_the_end_counts", 20).input("a\nb").gives(3, clear, "a\nb"),
        read("leaves_the_newline_uncounted", 7).input("hello\n", Input::Terminal).gives(5, clear, "hello\n"),
        read("capacity_zero", 0).input("abc").gives(0, carry),
        read("closed", 20).input("", Input::Closed).gives(-EBADF, carry),
        read("directory", 20).input("", Input::Directory).gives(-EISDIR, carry),
    };
    for (Input how : {Input::File, Input::Pipe, Input::StreamSocket, Input::PacketSocket})
        rows.push_back(read("hello_from_", 20).input("hello\n", how).gives(5, clear, "hello\n"));
    for (std::size_t i = rows.size() - 4; i < rows.size(); ++i)
        rows[i].name += name_of(rows[i].input_how);
    return rows;
}
BAREIO_TABLE(Readstr, readstr_rows());

// ---- __readline: the line reader, as text -------------------------------------

std::vector<Contract> readline_rows()
{
    std::vector<Contract> rows;
    for (const auto &row : lines::table())
        rows.push_back(lines::through(row, Contract(row.name, __readline).args(buffer, 64),
                                      [](Contract &call, const lines::Line &line) {
                                          if (line.flags.carry == 1)
                                              call.gives(line.error, none, std::string(1, '\0'));
                                          else
                                              call.gives(line.text.size(), line.flags, line.text + '\0');
                                      }));
    // A line longer than the room: its first capacity bytes (OF), the rest
    // on the next call; a line of exactly the room leaves its newline.
    for (Input how : {Input::File, Input::Pipe, Input::StreamSocket, Input::Terminal})
        rows.push_back(Contract(std::string("capacity_8_") + name_of(how), __readline)
                           .args(buffer, 8)
                           .input(how == Input::Terminal ? "abcdefghijkl\nxy\n\x04" : "abcdefghijkl\nxy\n", how)
                           .gives(8, part, std::string("abcdefgh\0", 9))
                           .gives(4, done, std::string("ijkl\0", 5))
                           .gives(2, done, std::string("xy\0", 3))
                           .gives(0, none));
    rows.push_back(Contract("exactly_the_capacity", __readline).args(buffer, 8).input("abcdefgh\nz\n", Input::Pipe)
                       .gives(8, part, std::string("abcdefgh\0", 9)).gives(0, done, std::string(1, '\0'))
                       .gives(1, done, std::string("z\0", 2))
                       .gives(0, none));
    rows.push_back(Contract("packet_longer_than_the_capacity", __readline).args(buffer, 8)
                       .input("abcdefghijkl\n|xy\n", Input::PacketSocket)
                       .gives(8, part, std::string("abcdefgh\0", 9)).gives(2, done, "xy").gives(0, none));
    rows.push_back(Contract("capacity_zero", __readline).args(buffer, 0).input("abc\n")
                       .gives(0, none, std::string(1, '\0')).rest("abc\n"));
    return rows;
}
BAREIO_TABLE(Readline, readline_rows());

// With RLIMIT_NOFILE at 0 poll fails: the line ends as on a read error, and
// a write that would block ends at once.
TEST(Wait, AFailingPollEndsTheCall)
{
    const std::string large(1 << 20, 'x');
    for (bool misaligned : {false, true}) {
        const auto ends = open_input(Input::NonBlockingPipe);  // open, and nothing comes
        Swap input(0, ends.reader);
        Capture output(Output::NonBlockingPipe);
        Outcome read, write;
        {
            NoDescriptorsAllowed limit;
            read = check_contract(Contract("", __readline).args(buffer, 8), misaligned, 0, {-EINVAL, none});
            write = check_contract(Contract("", __writestr).args(large.c_str(), large.size()), misaligned, 0, {{}, carry});
        }
        close(ends.writer);
        EXPECT_EQ(read.violations, "");
        EXPECT_EQ(write.violations, "");
        EXPECT_LT(output.text().size(), large.size());
    }
}

// A descriptor that says ready to poll and EAGAIN to read, for ever (a
// filter makes every read of descriptor 0 say so): the reader sleeps
// between its polls, so in half a second it uses little of the CPU.
TEST(Wait, ReadyThenEagainDoesNotSpin)
{
    const pid_t child = fork();
    if (child == 0) {
        StdinFeed feed("12\n", Input::NonBlockingPipe);
        sock_filter rules[] = {
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_read, 0, 3),
            BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, args[0])),
            BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, 0, 0, 1),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EAGAIN),
            BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
        };
        sock_fprog program{sizeof rules / sizeof rules[0], rules};
        usleep(20000);  // the feed's first byte is in the pipe
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) || prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program))
            _exit(2);
        char line[8];
        __readline(line, 7);
        _exit(3);
    }
    usleep(500000);
    kill(child, SIGKILL);
    int status = 0;
    rusage used{};
    wait4(child, &status, 0, &used);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the reader returned: " << WEXITSTATUS(status);
    const double seconds = used.ru_utime.tv_sec + used.ru_stime.tv_sec +
                           (used.ru_utime.tv_usec + used.ru_stime.tv_usec) / 1e6;
    EXPECT_LT(seconds, 0.15) << "CPU seconds in half a second of waiting";
}

// Faults the kernel will not make by itself, injected by strace (an lseek
// that answers on a pipe, a getsockopt refused or answering nothing, a
// refused peek or F_GETFL), and the system calls of one __readint of
// "12345\n" (besides execve, write and exit): a line each.
struct StraceCase {
    const char *name;
    const char *fault;  // or nullptr: count the calls
    Input how;
    std::vector<std::string> sent;  // a message each (a file's bytes)
    std::string out;
    long calls = 0;
};

void PrintTo(const StraceCase &c, std::ostream *os) { *os << c.name; }

class Strace : public testing::TestWithParam<StraceCase> {};

TEST_P(Strace, ReadsEveryLine)
{
    const auto &c = GetParam();
    if (!on_path("strace"))
        GTEST_SKIP() << "strace is not in PATH: the injected faults are left untried";
    const std::string reads = std::to_string(std::count(c.out.begin(), c.out.end(), '\n'));
    const auto result = traced(c.fault, {PROBE, "readint", reads}, c.how, c.sent);
    EXPECT_EQ(result.out, c.out);
    EXPECT_FALSE(result.timed_out);
    if (!c.fault) {
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), c.calls) << result.err;
    }
}

INSTANTIATE_TEST_SUITE_P(, Strace,
    testing::Values(StraceCase{"lseek_answers_on_a_pipe", "inject=lseek:retval=0", Input::Pipe, {"11\n22\n33\n"},
                               "11\n22\n33\n"},
                    StraceCase{"getsockopt_refused_packets", "inject=getsockopt:error=EPERM", Input::PacketSocket,
                               {"1\n", "2\n", "3\n"}, "1\n2\n3\n"},
                    StraceCase{"getsockopt_refused_stream", "inject=getsockopt:error=EPERM", Input::StreamSocket,
                               {"1\n2", "\n3\n"}, "1\n2\n3\n"},
                    StraceCase{"getsockopt_answers_nothing", "inject=getsockopt:retval=0", Input::StreamSocket,
                               {"12\n34\n56\n"}, "12\n34\n56\n"},
                    StraceCase{"peek_refused", "inject=recvfrom:error=EPERM", Input::StreamSocket, {"12\n34\n56\n"},
                               "12\n34\n56\n"},
                    StraceCase{"fcntl_refused_time_out", "inject=fcntl:error=EPERM", Input::TimedSocket, {}, "0\n"},
                    StraceCase{"calls_from_a_file", nullptr, Input::File, {"12345\n"}, "12345\n", 2},
                    StraceCase{"calls_from_a_pipe", nullptr, Input::Pipe, {"12345\n"}, "12345\n", 7},
                    StraceCase{"calls_at_a_terminal", nullptr, Input::Terminal, {"12345\n"}, "12345\n", 3}),
    by_name);

// ---- __writestr ------------------------------------------------------------------

std::vector<Contract> writestr_rows()
{
    static const std::string large(1 << 20, 'x'), huge = [] {
        std::string data(4 << 20, '\0');
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<char>('a' + (i * 7 + i / 4096) % 26);
        return data;
    }();
    const auto write = [](const char *name, const char *text, uint64_t length) {
        return Contract(name, __writestr).args(text, length);  // (texts that outlive the rows)
    };
    std::vector<Contract> rows = {
        write("length_cuts", "hello", 3).writes("hel").returns(clear),
        write("zero_terminated", "hello", 0).writes("hello").returns(clear),
        write("empty", "", 0).writes("").returns(clear),
        write("zero_bytes_inside", "a\0b", 3).writes(std::string("a\0b", 3)).returns(clear),
        write("stops_at_zero", "ab\0cd", 0).writes("ab").returns(clear),
        write("high_bytes", "\xff\x80\x01", 0).writes("\xff\x80\x01").returns(clear),
        write("large", large.c_str(), 0).writes(large).returns(clear),
        // Short writes continued, and a full non-blocking pipe waited for.
        write("large_drained", large.c_str(), 0).writes(large, Output::Pipe).returns(clear),
        write("huge_non_blocking", huge.c_str(), huge.size()).writes(huge, Output::NonBlockingPipe).returns(clear),
        // A null text writes nothing; an error ends the call at once; a
        // blocking socket's SO_SNDTIMEO ends it when the time is up.
        write("null_text", nullptr, 0).writes("").returns(clear),
        write("null_text_drained", nullptr, 0).writes("", Output::NonBlockingPipe).returns(clear),
        write("closed", "lost", 0).writes("", Output::Closed).returns(carry),
        write("closed_length", "lost", 4).writes("", Output::Closed).returns(carry),
        write("full", "lost", 0).writes("", Output::Full).returns(carry),
        write("send_time_out", large.c_str(), 0).to(Output::TimedSocket).returns(carry),
    };
    for (std::size_t length = 0; length < 40; ++length) {  // the scan for the zero byte, at every length
        static std::vector<std::string> texts(40);
        texts[length] = std::string(length, 'x') + std::string("\0tail", 5);
        rows.push_back(Contract("zero_byte_at_" + std::to_string(length), __writestr)
                           .args(texts[length].c_str())
                           .writes(std::string(length, 'x')));
    }
    return rows;
}
BAREIO_TABLE(Writestr, writestr_rows());

// 4 MiB to a pipe drained slowly under a 1 ms timer with no SA_RESTART:
// short counts, and EINTR before any byte. Every byte must still arrive.
TEST(Writestr, EveryByteArrivesInterrupted)
{
    const std::string data(4 << 20, 'i');
    Interrupter interrupter;
    EXPECT_EQ(check(Contract("", __writestr).args(data.c_str(), data.size()).writes(data, Output::Pipe).returns(clear)),
              "");
    EXPECT_GT(interrupter.count(), 0) << "no interruption happened";
}

// ---- the installed object, and a debugger's view of it ------------------------------

TEST(Object, ExportsItsRoutinesOnlyAndLinksAnywhere)
{
    EXPECT_EQ(check_object(STAGE_LIBDIR "/bareio/startup.o",
                           {"__start", "__startarg", "__readstr", "__readline", "__writestr"}, {"__takeline"},
                           {"wait_ready", "line_kind"}),
              "");
    const std::string symbols = output_of({"nm", STAGE_LIBDIR "/bareio/startup.o"});
    EXPECT_NE(symbols.find(" d __start_stack\n"), std::string::npos) << symbols;  // local, in .data
}

// From inside every kind of system call the run-time makes (the exit
// aside), gdb's backtrace goes through the run-time to the program's main
// and ends in __start, with no frame it cannot name.
struct Trace {
    const char *name;
    Input how;
    std::string input;
    const char *redirect;             // for gdb's run command
    std::vector<const char *> calls;  // each caught at least once
    const char *later = nullptr;      // sent once the first catch is seen
};

void PrintTo(const Trace &c, std::ostream *os) { *os << c.name; }

class GdbInsideSystemCalls : public testing::TestWithParam<Trace> {};

TEST_P(GdbInsideSystemCalls, BacktraceReachesStart)
{
    const auto &c = GetParam();
    if (!on_path("gdb"))
        GTEST_SKIP() << "gdb is not in PATH (an optional test tool): the backtrace is left unchecked";
    const std::string script = testing::TempDir() + "bareio-catch-" + c.name + ".gdb";
    {
        std::ofstream commands(script);
        commands << "set pagination off\ncatch syscall";
        for (const char *call : c.calls)
            commands << ' ' << call;
        commands << "\ncommands\nbt\ncontinue\nend\nrun readint 1 " << c.redirect << "\n";
    }
    Process gdb({"gdb", "-nx", "-batch", "-x", script, PROBE}, c.how, c.input);
    if (c.later) {
        EXPECT_TRUE(gdb.expect(std::string("(call to syscall ") + c.calls[0], Millis(60000)));
        gdb.send(c.later);
    }
    const auto result = gdb.finish(Millis(60000));
    std::remove(script.c_str());
    for (const char *call : c.calls)
        EXPECT_NE(result.out.find(std::string("syscall ") + call + ")"), std::string::npos) << call << result.out;
    // Each backtrace (a "#0" line) names main and ends in __start, and
    // names no frame it cannot.
    const auto count = [&](const std::string &what) {
        std::size_t n = 0;
        for (std::size_t at = 0; (at = result.out.find(what, at)) != std::string::npos; ++at)
            ++n;
        return n;
    };
    EXPECT_GE(count("\n#0 "), c.calls.size()) << result.out;
    EXPECT_EQ(count(" probe_main ("), count("\n#0 ")) << result.out;
    EXPECT_EQ(count(" __start ("), count("\n#0 ")) << result.out;
    EXPECT_EQ(count("??"), 0u) << result.out;
}

INSTANTIATE_TEST_SUITE_P(, GdbInsideSystemCalls,
    testing::Values(Trace{"file", Input::File, "12\n34\n", "", {"fstat", "read", "lseek", "write"}},
                    Trace{"device", Input::Pipe, "", "< /dev/null", {"ioctl"}},
                    Trace{"socket", Input::StreamSocket, "12\n", "", {"getsockopt", "recvfrom"}},
                    Trace{"waiting", Input::NonBlockingPipe, "", "", {"fcntl", "poll"}, "12\n"}),
    by_name);

// ---- end to end: programs started by the kernel ----------------------------

struct E2eCase {
    const char *name;
    std::vector<std::string> args;  // after the program
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
    const auto result = run(argv);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.status, c.status);
    EXPECT_FALSE(result.timed_out);
}

INSTANTIATE_TEST_SUITE_P(, EndToEndTable,
    testing::Values(E2eCase{"args_a_b", {"args", "a", "b"}, "count=3\n[args]\n[a]\n[b]\npast=0\nminus2=3\nmin=3\n", 0},
                    E2eCase{"args_empty_argument", {"args", ""}, "count=2\n[args]\n[]\npast=0\nminus2=2\nmin=2\n", 0},
                    E2eCase{"status_3", {"status", "3"}, "", 3}, E2eCase{"status_256", {"status", "256"}, "", 0},
                    E2eCase{"status_255", {"status", "255"}, "", 255}, E2eCase{"status_513", {"status", "513"}, "", 1}),
    by_name);

TEST(EndToEnd, MainIsEnteredAsAfterACallWithRaxZeroAndRdiItself)
{
    for (const std::vector<std::string> &argv : {std::vector<std::string>{ENTRY_STATE},
                                                 std::vector<std::string>{ENTRY_STATE, "x", "yz"}}) {
        const auto result = run(argv);
        EXPECT_EQ(result.status, 0) << "findings (see entry-state.S): " << result.status;
    }
}

#ifdef HAVE_NASM
// The tutorial's line-reversing program gives the same lines typed as
// piped, and a line longer than its buffer is reported, not split.
TEST(EndToEnd, RevReversesTypedLinesAsPipedOnes)
{
    EXPECT_EQ(run({EXAMPLES "/rev"}, "hello\nworld\n").out, "olleh\ndlrow\n");
    support::Process typed({EXAMPLES "/rev"}, Input::Terminal, "hello\nworld\n");
    EXPECT_TRUE(typed.expect("olleh\ndlrow\n", Millis(5000))) << typed.out();
    const auto result = run({EXAMPLES "/rev"}, std::string(150, 'x') + "\nab\n");
    EXPECT_EQ(result.out, "line too long\nba\n");
    EXPECT_EQ(result.status, 1);
}
#endif

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
