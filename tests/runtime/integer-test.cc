// integer: integer text to value, and integers and characters to output.
// Every in-process call goes through the register-contract check.
#include "cases.h"
#include "contract.h"
#include "lines.h"
#include "model.h"
#include "object-check.h"
#include "process.h"

#include <bareio.h>

#include <charconv>
#include <cstdint>
#include <filesystem>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

using namespace support;

// ---- text to value: __readint in-process, __argvint end to end -------------

using Conversion = support::Conversion<int64_t>;

// Each text, its value, and whether it is one number that fits.
const std::vector<Conversion> conversions = {
    {"plain", "123", 123, true},
    {"negative", "-45", -45, true},
    {"leading_zeros", "007", 7, true},
    {"minus_zero", "-0", 0, true},
    {"max", "9223372036854775807", INT64_MAX, true},
    {"min", "-9223372036854775808", INT64_MIN, true},
    {"max_plus_one_wraps", "9223372036854775808", INT64_MIN, false},
    {"min_less_one_wraps", "-9223372036854775809", INT64_MAX, false},
    {"two_to_64_wraps_to_0", "18446744073709551616", 0, false},
    {"two_to_64_less_1_is_minus_1", "18446744073709551615", -1, false},
    {"stops_at_letter", "12abc", 12, false},
    {"letters", "abc", 0, false},
    {"empty", "", 0, false},
    {"lone_minus", "-", 0, false},
    {"double_minus", "--5", 0, false},
    {"leading_space", " 7", 0, false},
    {"plus_sign", "+7", 0, false},
    {"two_numbers", "3 4", 3, false},
    {"decimal", "1.5", 1, false},
    {"point_first", ".5", 0, false},
    {"high_byte_stops", "1\x80" "2", 1, false},
    {"high_byte_first", "\xb1", 0, false},  // 0xB1 - '0' is no digit as an unsigned byte
    {"slash_and_colon", "/:", 0, false},    // the bytes either side of the digits
};

// The model converts and judges each text as the table says, and so does
// an oracle of the verdict that shares nothing with it: std::from_chars.
TEST(Readint, ModelAndOracleAgreeWithTheTable)
{
    for (const auto &c : conversions) {
        EXPECT_EQ(model::strtoint(c.text.c_str()), c.value) << c.name;
        EXPECT_EQ(model::is_integer(c.text.c_str()), c.number) << c.name;
        int64_t parsed;
        const auto [end, error] = std::from_chars(c.text.data(), c.text.data() + c.text.size(), parsed);
        EXPECT_EQ(c.number, !c.text.empty() && error == std::errc() && end == c.text.data() + c.text.size()) << c.name;
    }
}

std::vector<Contract> readint_rows()
{
    std::vector<Contract> rows = lines::number_reader_rows(__readint, conversions, model::readint);
    // A line of any length is one value: its first 64 bytes converted, the
    // rest dropped; longer than 64 bytes, it is not a number.
    const std::string zeros63(63, '0'), digits300(300, '7');
    rows.push_back(Contract("sixty_four_bytes", __readint).input(zeros63 + "7\n5\n").gives(7).gives(5));
    rows.push_back(Contract("sixty_five_bytes", __readint).input(zeros63 + "07\n5\n").gives(0, part).gives(5));
    rows.push_back(Contract("sixty_four_bytes_and_cr", __readint).input(zeros63 + "7\r\n5\n", Input::Pipe)
                       .gives(7, part).gives(5));
    rows.push_back(Contract("three_hundred_digits", __readint).input(digits300 + "\n-5\n", Input::Pipe)
                       .gives(model::strtoint(digits300.substr(0, 64).c_str()), part).gives(-5).gives(0, none));
    return rows;
}
BAREIO_TABLE(Readint, readint_rows());

TEST(Argvint, ConvertsEveryTextAsAnArgument)
{
    auto [argv, expected] = every_text_as_argument(conversions, {PROBE, "argvint"}, [](const Conversion &c) {
        return std::to_string(c.value) + (c.number ? "" : " x");
    });
    expected += "past=0\n";  // the index past the last argument
    const auto result = run(argv);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.status, 0);
}

BAREIO_TABLE(Argvint, before_start(__argvint, {-1, 0, 7}, done, none));

// Every 64-bit integer that __writeint writes, one a line, reads back
// equal through __readint, from a file and from a pipe.
TEST(Readint, ReadsBackWhatWriteintWrote)
{
    std::mt19937_64 random(29);
    std::vector<int64_t> values = {INT64_MIN, INT64_MAX, 0, -1};
    while (values.size() < 300)
        values.push_back(static_cast<int64_t>(random() >> (random() % 64)) * (values.size() % 2 ? 1 : -1));
    std::string text;
    {
        Capture capture;
        for (int64_t value : values) {
            __writeint(value);
            __writechr('\n');
        }
        text = capture.text();
    }
    for (Input how : {Input::File, Input::Pipe}) {
        Contract reads("", __readint);
        reads.input(text, how);
        for (int64_t value : values)
            reads.gives(value);
        EXPECT_EQ(check(reads.gives(0, none)), "") << name_of(how);
    }
}

// ---- __writeint and __writechr ------------------------------------------------

// Every digit count, each side of every power of ten, both signs, and the
// boundaries of the 8-digit groups; then random values of every length:
// each call through the contract check, the text against std::to_chars.
TEST(Writeint, MatchesToCharsOnEveryLength)
{
    std::vector<int64_t> values = {1, -1, 9, 10, 99, 100, INT64_MAX - 1, INT64_MIN + 1};
    for (int64_t power = 1; power <= INT64_MAX / 10; power *= 10)
        for (int64_t value : {power - 1, power, power + 1, 10 * power - 1})
            values.insert(values.end(), {value, -value});
    std::mt19937_64 random(2026);
    for (int i = 0; i < 2000; ++i)
        values.push_back(static_cast<int64_t>(random() >> (random() % 64)) * (i % 2 ? 1 : -1));

    Capture capture;
    std::string expected, violations;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (violations.empty())  // the first is enough
            violations = check_contract(Contract("", __writeint).args(values[i]), i % 2, i, {{}, clear}).violations;
        else
            __writeint(values[i]);
        __writestr(" ", 1);
        expected += model::writeint(values[i]) + " ";
    }
    EXPECT_EQ(violations, "");
    EXPECT_EQ(capture.text(), expected);
}

std::vector<Contract> writeint_rows()
{
    std::vector<Contract> rows;
    for (int64_t value : {INT64_MIN, INT64_MAX, int64_t{0}, int64_t{-7}, int64_t{123456789012}})
        rows.push_back(Contract("value_" + std::to_string(rows.size()), __writeint)
                           .args(value)
                           .writes(std::to_string(value))
                           .returns(clear));
    for (Output lost : {Output::Full, Output::Closed})
        rows.push_back(Contract("lost_" + std::to_string(rows.size()), __writeint).args(-12345).to(lost).returns(carry));
    return rows;
}
BAREIO_TABLE(Writeint, writeint_rows());

std::vector<Contract> writechr_rows()
{
    const std::vector<std::pair<const char *, uint64_t>> codes = {
        {"letter", 65}, {"newline", 10}, {"zero", 0}, {"byte_255", 255}, {"three_bytes_low_first", 0x434241},
        {"stops_at_first_zero_byte", 0x43004241}, {"low_byte_zero_writes_nothing", 0x4100},
        {"seven_bytes", 0x0047464544434241}, {"no_zero_byte_writes_eight", 0x4847464544434241}};
    std::vector<Contract> rows;
    for (const auto &[name, code] : codes)
        rows.push_back(Contract(name, __writechr).args(code).writes(model::writechr(code)).returns(clear));
    rows.push_back(Contract("lost", __writechr).args('A').to(Output::Closed).returns(carry));
    return rows;
}
BAREIO_TABLE(Writechr, writechr_rows());

// ---- the installed object --------------------------------------------------

TEST(Object, ExportsItsRoutinesOnlyAndLinksAnywhere)
{
    EXPECT_EQ(check_object(STAGE_LIBDIR "/bareio/integer.o", {"__argvint", "__readint", "__writeint", "__writechr"},
                           {}, {"__strtoint"}),
              "");
}

// ---- end to end ------------------------------------------------------------

// What one program leaves of a file is there for the next, mul's too; a
// closed input, and a wait that poll cannot make, end a started
// program's read at once.
TEST(EndToEnd, ReadintInStartedPrograms)
{
    EXPECT_EQ(run({"/bin/sh", "-c", "\"$0\" readint 1; \"$0\" readint 2", PROBE}, "1\n2\n3\n", Input::File).out,
              "1\n2\n3\n");
#ifdef HAVE_NASM
    EXPECT_EQ(run({EXAMPLES "/mul"}, "6\n7\n").out, "42\n");
    EXPECT_EQ(run({"/bin/sh", "-c", "\"$0\"; \"$0\"", EXAMPLES "/mul"}, "6\n7\n8\n9\n", Input::File).out, "42\n72\n");
#endif
    const auto closed = run({PROBE, "readint", "1"}, "", Input::Closed);
    EXPECT_EQ(closed.out + std::to_string(closed.status), "0\n0");
    Process starved({"/usr/bin/prlimit", "--nofile=0", PROBE, "readint", "1"}, Input::NonBlockingPipe);
    EXPECT_TRUE(starved.expect("0\n", Millis(5000))) << starved.out();
}

// summax in NASM, and in C through bareio.h's status functions by gcc and
// clang at -O0 and -O2, with and without -mno-red-zone, marked for CET and
// linked by ld -z cet-report=error: sums until end of input, a terminal's
// ^D or a last line's two, exits with 1 when its output is lost; and gdb
// backtraces through the inline call of the -O2 -mno-red-zone build.
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
                if (!on_path(cc))
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
                EXPECT_NE(output_of({"readelf", "-n", out}).find("x86 feature: IBT, SHSTK"), std::string::npos) << out;
                programs.push_back(out);
            }
    for (const auto &program : programs) {
        auto result = run({program}, "3\n0\n12\n5\n");
        EXPECT_EQ(result.out, "sum 20, max 12\n") << program;
        EXPECT_EQ(result.status, 0) << program;
        EXPECT_EQ(run({program}, "-9223372036854775808\n5\n").out, "sum -9223372036854775803, max 5\n") << program;
        for (const char *typed : {"3\n0\n\x04", "3\x04\x04"}) {
            Process terminal({program}, Input::Terminal, typed);
            EXPECT_TRUE(terminal.expect("sum 3, max 3\n", Millis(5000))) << program << terminal.out();
        }
        const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
        Process lost({program}, Input::Pipe, "1\n", full);
        close(full);
        EXPECT_EQ(lost.finish(Millis(5000)).status, 1) << program;
    }
    if (!on_path("gdb") || !on_path("gcc"))
        return;
    // gdb's run goes through a shell: the input's path is quoted there.
    const auto gdb = run({"gdb", "-nx", "-batch", "-ex", "break __readint", "-ex",
                          "run < '" EXAMPLE_SOURCES "/summax.c'", "-ex", "bt", work + "gcc-O2-no-red-zone"},
                         {}, Input::Pipe, Millis(60000));
    std::size_t at = 0;
    for (const char *frame : {"#0 ", "__readint", "summax_main", "__start"})
        EXPECT_NE(at = gdb.out.find(frame, at), std::string::npos) << frame << " missing:\n" << gdb.out;
}

}  // namespace
