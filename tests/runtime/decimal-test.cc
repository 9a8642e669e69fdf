// decimal: decimal text to value and values to text, checked against the
// model of the same steps in plain double arithmetic (tests/support/model.h).
#include "cases.h"
#include "contract.h"
#include "model.h"
#include "object-check.h"
#include "process.h"
#include "redirect.h"

#include <bareio.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <limits>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>
#include <xmmintrin.h>

extern "C" void bareio_adopt(uint64_t *block);

namespace {

using support::Contract;
using support::Input;
using support::run;

using model::exact_whole;
using model::from_bits;
using model::to_bits;

std::string written(double value)
{
    support::StdoutCapture capture;
    __writedec(value);
    return capture.text();
}

double read_one(const std::string &text)
{
    support::StdinFeed feed(text);
    return __readdec();
}

// ---- text to value ---------------------------------------------------------

using Conversion = support::Conversion<double>;

const std::vector<Conversion> conversions = {
    {"plain", "12.5", 12.5},
    {"negative", "-3.25", -3.25},
    {"no_integer_part", ".5", 0.5},
    {"point_last", "7.", 7.0},
    {"leading_zeros", "007", 7.0},
    {"second_point_ends", "1.2.3", 1.2},
    {"no_exponent", "1e3", 1.0},
    {"letters", "abc", 0.0},
    {"empty", "", 0.0},
    {"lone_minus", "-", 0.0},
    {"leading_space", " 4", 0.0},
    {"plus_sign", "+4", 0.0},
    {"minus_zero_is_plus_zero", "-0", 0.0},
    {"newline_ends", "12\n", 12.0},
    {"term_by_term_sum", "3.14159", 3.1415900000000003},
    {"twenty_nines", "99999999999999999999", 1.0000000000000002e20},
    {"high_byte_ends", "2\xb5", 2.0},
};

class ReaddecTable : public testing::TestWithParam<Conversion> {};

// Bit for bit, so a sign or a last bit that differs shows.
TEST_P(ReaddecTable, ConvertsOneReadExactly)
{
    const auto &c = GetParam();
    EXPECT_EQ(to_bits(read_one(c.text)), to_bits(c.value)) << read_one(c.text);
    EXPECT_EQ(to_bits(model::strtodec(c.text.c_str())), to_bits(c.value)) << "the model disagrees";
}

INSTANTIATE_TEST_SUITE_P(, ReaddecTable, testing::ValuesIn(conversions), support::by_name);

// Through __argvdec in a started program; the values come back as text.
TEST(Argvdec, ConvertsEveryTextAsAnArgument)
{
    auto [argv, expected] = support::every_text_as_argument(conversions, {PROBE, "argvdec"}, model::writedec);
    argv.push_back("123456789012345678901234567890.5");  // longer than one read
    expected += model::writedec(model::strtodec("123456789012345678901234567890.5")) + "\n";
    expected += "past=0.0\nminus1=0.0\n";  // past the count, and a negative index
    const auto result = run(argv);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.status, 0);
}

TEST(Argvdec, BeforeStartIsZero)
{
    for (int64_t index : {-1, 0, 3}) {
        double value = -1;
        EXPECT_EQ(bareio_argvdec(index, &value), index < 0) << index;  // CF: no argument
        EXPECT_EQ(to_bits(value), 0u) << index;
    }
}

// Random decimal texts of every shape that fits one read, against the model.
TEST(Readdec, MatchesTheModelOnRandomTexts)
{
    std::mt19937_64 random(7);
    const char alphabet[] = "0123456789";
    for (int i = 0; i < 4 * 3000; ++i) {
        std::fesetround(i % 4 == 0 ? FE_TONEAREST : i % 4 == 1 ? FE_UPWARD : i % 4 == 2 ? FE_DOWNWARD : FE_TOWARDZERO);
        std::string text = random() % 4 ? "" : "-";
        for (int n = random() % 19; n > 0; --n)
            text += alphabet[random() % 10];
        if (random() % 5)
            text += '.';
        while (text.size() < 20 && random() % 8)
            text += alphabet[random() % 10];
        ASSERT_EQ(to_bits(read_one(text)), to_bits(model::strtodec(text.c_str()))) << text;
    }
    std::fesetround(FE_TONEAREST);
}

// Integer parts on either side of 2^53, where digits stop being exact.
TEST(Readdec, MatchesTheModelAround2To53)
{
    for (uint64_t value = (1ull << 53) - 300; value < (1ull << 53) + 300; ++value)
        for (const std::string &text : {std::to_string(value), std::to_string(value) + "7",
                                        std::to_string(value / 10) + ".5", "-" + std::to_string(value) + ".3"}) {
            if (text.size() > 20)
                continue;
            ASSERT_EQ(to_bits(read_one(text)), to_bits(model::strtodec(text.c_str()))) << text;
        }
}

// ---- __readdec: lines, ends and errors --------------------------------------

TEST(Readdec, LinesEndsAndErrors)
{
    // A line a call from anything: the terminal's ^D, then end of input
    // (CF set); a last line without its newline is a line (CF clear).
    const auto read = [](double want, bool taken) {
        double value = -1;
        EXPECT_EQ(bareio_readdec(&value), taken) << want;
        EXPECT_EQ(to_bits(value), to_bits(want));
    };
    for (Input how : {Input::Terminal, Input::File, Input::Pipe, Input::InterruptedPipe, Input::NonBlockingPipe,
                      Input::StreamSocket}) {
        support::StdinFeed feed(how == Input::Terminal ? "2.75\n-0.5\n\x04" : "2.75\n-0.5", how);
        read(2.75, true);
        read(-0.5, true);
        read(0.0, false);
    }
    for (Input failing : {Input::Closed, Input::Directory}) {
        support::StdinFeed feed("", failing);
        read(0.0, false);
    }
    EXPECT_EQ(read_one("1.25\r\n"), 1.25);  // the carriage return ends the number
    // An empty line reads 0.0; the line after it is read next.
    support::StdinFeed feed("\n1.5\n");
    EXPECT_EQ(to_bits(__readdec()), 0u);
    EXPECT_EQ(__readdec(), 1.5);
}

// ---- value to text ---------------------------------------------------------

struct Rendering {
    double value;
    const char *text;
};

void PrintTo(const Rendering &r, std::ostream *os) { *os << r.text; }

class WritedecTable : public testing::TestWithParam<Rendering> {};

TEST_P(WritedecTable, WritesTheText)
{
    EXPECT_EQ(written(GetParam().value), GetParam().text);
    EXPECT_EQ(model::writedec(GetParam().value), GetParam().text) << "the model disagrees";
}

INSTANTIATE_TEST_SUITE_P(, WritedecTable,
    testing::Values(Rendering{0.0, "0.0"}, Rendering{-0.0, "0.0"}, Rendering{1.0, "1.0"}, Rendering{10.0, "10.0"},
                    Rendering{2.5, "2.5"}, Rendering{0.1, "0.1"}, Rendering{0.12, "0.12"}, Rendering{1.05, "1.05"},
                    Rendering{2.675, "2.675"}, Rendering{100.25, "100.25"}, Rendering{1234.5, "1234.5"},
                    Rendering{123456.789, "123456.789"}, Rendering{3.14159265, "3.141593"},
                    Rendering{12.3456789, "12.345679"}, Rendering{0.9999994, "0.999999"},
                    Rendering{0.9999996, "1.0"}, Rendering{99.9999996, "100.0"}, Rendering{0.0000004, "0.0"},
                    Rendering{0.0000006, "0.000001"}, Rendering{1.0000005, "1.000001"},
                    Rendering{2.0000004, "2.0"},
                    // where the steps depart from correct rounding
                    Rendering{0.9416295, "0.941629"}, Rendering{947827487059.3, "947827487059.300048"},
                    // negative values
                    Rendering{-2.5, "-2.5"}, Rendering{-1.0, "-1.0"}, Rendering{-3.75, "-3.75"},
                    Rendering{-0.25, "-0.25"}, Rendering{-0.5, "-0.5"}, Rendering{-0.0000001, "-0.0"},
                    Rendering{-9223372036854774784.0, "-9223372036854774784.0"},
                    // outside the range of the steps
                    Rendering{std::numeric_limits<double>::quiet_NaN(), "nan"},
                    Rendering{-std::numeric_limits<double>::quiet_NaN(), "nan"},
                    Rendering{std::numeric_limits<double>::infinity(), "inf"},
                    Rendering{-std::numeric_limits<double>::infinity(), "-inf"},
                    Rendering{1e20, "100000000000000000000.0"}, Rendering{0x1p63, "9223372036854775808.0"},
                    Rendering{-0x1p63, "-9223372036854775808.0"},
                    Rendering{0x1p64, "18446744073709551616.0"}),
    [](const auto &info) {
        std::string name = std::to_string(info.index) + "_" + info.param.text;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return name;
    });

TEST(Writedec, LargestDoubleHasItsExactDigits)
{
    const std::string text = written(DBL_MAX);
    EXPECT_EQ(text, exact_whole(DBL_MAX) + ".0");
    EXPECT_EQ(text.size(), 309u + 2u);
    EXPECT_EQ(written(-DBL_MAX), "-" + text);
}

// Writes every value, a space after each, in one capture under the given
// rounding mode, and compares the whole against the model under round to
// nearest; the MXCSR must be the same after each call as before.
void expect_model_agrees_under(int mode, const std::vector<double> &values)
{
    std::string expected;
    for (double value : values)
        expected += model::writedec(value) + " ";
    support::StdoutCapture capture;
    int changed = 0;
    std::fesetround(mode);
    for (double value : values) {
        const unsigned before = _mm_getcsr();
        __writedec(value);
        changed += _mm_getcsr() != before;
        __writestr(" ", 1);
    }
    std::fesetround(FE_TONEAREST);
    EXPECT_EQ(changed, 0) << "calls that changed the MXCSR";
    const std::string text = capture.text();
    if (text == expected)
        return;
    std::size_t at = 0;
    while (at < text.size() && at < expected.size() && text[at] == expected[at])
        ++at;
    const std::size_t from = expected.rfind(' ', at) == std::string::npos ? 0 : expected.rfind(' ', at);
    ADD_FAILURE() << "first difference near: got [" << text.substr(from, 40) << "] want ["
                  << expected.substr(from, 40) << "]";
}

void expect_model_agrees(const std::vector<double> &values)
{
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        SCOPED_TRACE("rounding mode " + std::to_string(mode));
        expect_model_agrees_under(mode, values);
    }
}

// Random bit patterns across every exponent below 2^63, both signs.
TEST(Writedec, MatchesTheModelOnRandomDoubles)
{
    std::mt19937_64 random(63);
    std::vector<double> values = {0.99999949999999982, 0x1p53, 1e15};  // once a colon, 2^53 + 2, 1e15 + 1/8
    while (values.size() < 40000) {
        const double value = from_bits(random());
        if (std::isfinite(value) && std::fabs(value) < 0x1p63)
            values.push_back(value);
        const uint64_t exponent = 1023 - 40 + random() % 103;  // 2^-40 .. 2^62
        values.push_back(from_bits((random() & 0x800FFFFFFFFFFFFFull) | (exponent << 52)));
    }
    expect_model_agrees(values);
}

// Values a few units in the last place either side of the half-way points
// between six-place decimals, where the bias addition decides the digit.
TEST(Writedec, MatchesTheModelNextToHalfwayPoints)
{
    std::mt19937_64 random(5);
    std::vector<double> values;
    for (int i = 0; i < 5000; ++i) {
        const double scale = std::pow(10.0, static_cast<double>(random() % 12));
        const double halfway = (std::floor(static_cast<double>(random() % 1000000000) / 1e3 * scale) + 0.5) / 1e6;
        double value = halfway;
        for (int step = 0; step < 4; ++step) {
            values.push_back(value);
            values.push_back(-value);
            value = std::nextafter(value, 0.0);
        }
        value = std::nextafter(halfway, 1e300);
        values.push_back(value);
        values.push_back(std::nextafter(value, 1e300));
    }
    // Small values, whose last place is finer than the bias's own: here a
    // bias one unit off in its last place changes digits.
    for (int k = 0; k < 100; ++k) {
        double value = (k + 0.5) / 1e6;
        for (int step = 0; step < 64; ++step)
            value = std::nextafter(value, 0.0);
        for (int step = 0; step < 128; ++step) {
            values.push_back(value);
            value = std::nextafter(value, 1.0);
        }
    }
    expect_model_agrees(values);
}

// From 2^63 up: exact digits, compared with glibc's exact printing.
TEST(Writedec, HugeValuesMatchExactPrinting)
{
    std::mt19937_64 random(1024);
    std::vector<double> values = {0x1p63, std::nextafter(0x1p63, 0.0), 0x1p1023, DBL_MAX, 1e300, 0x1.fffffffffffffp63};
    for (int i = 0; i < 3000; ++i) {
        const uint64_t exponent = 1023 + 63 + random() % (2046 - 1023 - 63 + 1);
        values.push_back(from_bits((random() & 0x800FFFFFFFFFFFFFull) | (exponent << 52)));
    }
    expect_model_agrees(values);
}

// With every exception unmasked, in a child that has adopted a start-up
// block holding "0.1": no decimal routine traps, each leaves the MXCSR as
// it found it, sticky flags included, and each value is right. There too
// the converters' started path (their deepest) keeps its contract.
TEST(Decimal, CallersTrapsNeverFireInside)
{
    if (fork() == 0) {
        alignas(16) static uint64_t frame[8] = {};  // 16 writable bytes below the block
        frame[2] = 2, frame[3] = reinterpret_cast<uint64_t>("program"), frame[4] = reinterpret_cast<uint64_t>("0.1");
        bareio_adopt(frame + 2);
        const bool broken = !support::check_both_alignments(Contract(__argvint).args(0).carry(false)).empty() ||
                            !support::check_both_alignments(Contract(__argvdec).args(0).carry(false)).empty();
        support::StdoutDiscarded discarded;
        support::StdinFeed feed("0.1\n");
        feenableexcept(FE_INEXACT | FE_INVALID | FE_DIVBYZERO | FE_OVERFLOW | FE_UNDERFLOW);
        const unsigned csr = _mm_getcsr();
        __writedec(0.1);
        const bool wrong = to_bits(__readdec()) != to_bits(0.1) || to_bits(__argvdec(0)) != to_bits(0.1);
        _exit(wrong | (_mm_getcsr() != csr) << 1 | broken << 2);
    }
    int status = 0;
    wait(&status);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0) << "bit 0: a wrong value; bit 1: the MXCSR changed; bit 2: a contract";
}

// Every writer clears CF when every byte arrived and sets it when one was
// lost, to /dev/full (ENOSPC) or a closed descriptor (EBADF); __writedec's
// both writes, on its huge path too.
TEST(Writers, CarryReportsLostOutput)
{
    int (*const writers[])() = {[] { return bareio_writestr("abc", 0); }, [] { return bareio_writeint(-12345); },
                                [] { return bareio_writechr('A'); }, [] { return bareio_writedec(2.5); },
                                [] { return bareio_writedec(1e300); }};
    for (int i = 0; i < 5; ++i) {
        {
            support::StdoutCapture capture;
            EXPECT_EQ(writers[i](), 1) << "writer " << i;
        }
        {
            support::StdoutDiscarded full("/dev/full");
            EXPECT_EQ(writers[i](), 0) << "writer " << i << " to /dev/full";
        }
        support::StdoutClosed closed;
        EXPECT_EQ(writers[i](), 0) << "writer " << i << " closed";
    }
}

// ---- register contract -----------------------------------------------------

// Each routine's contract on each of its paths, a row a call (contract.h).
class ContractTable : public testing::TestWithParam<Contract> {};
TEST_P(ContractTable, Holds) { EXPECT_EQ(support::check_both_alignments(GetParam()), GetParam().violations); }

std::vector<Contract> contracts()
{
    std::vector<Contract> rows;
    for (int64_t index : {-1, 0, 4})
        rows.push_back(Contract(__argvdec).args(index).carry(index >= 0));
    for (const char *text : {"-12.625\n9\n", "", "1.2.3"})
        for (Input how : {Input::File, Input::Pipe, Input::NonBlockingPipe, Input::StreamSocket, Input::PacketSocket})
            rows.push_back(Contract(__readdec).input(text, how).result(to_bits(model::strtodec(text))).carry(!*text));
    for (double value : {0.0, -0.0, 2.5, -0.25, 947827487059.3, -1e20, DBL_MAX,
                         std::numeric_limits<double>::quiet_NaN(), -std::numeric_limits<double>::infinity()})
        rows.push_back(Contract(__writedec).decimal(value).writes(model::writedec(value)).carry(false));
    return rows;
}

INSTANTIATE_TEST_SUITE_P(, ContractTable, testing::ValuesIn(contracts()), support::by_routine);

// ---- the installed object --------------------------------------------------

TEST(Object, ExportsItsRoutinesOnlyAndLinksAnywhere)
{
    EXPECT_EQ(support::check_object(STAGE_LIBDIR "/bareio/decimal.o", {"__argvdec", "__readdec", "__writedec"},
                                    {"__strtodec", "__writehuge"}),
              "");
}

// ---- end to end ------------------------------------------------------------

TEST(EndToEnd, ReaddecAtATerminal)
{
    const auto result = run({PROBE, "readdec", "3"}, "2.75\n-3.14159265\n\x04", Input::Terminal);
    EXPECT_EQ(result.out, "2.75\n-3.141593\n0.0\n");
    EXPECT_EQ(result.status, 0);
}

TEST(EndToEnd, FreestandingCppExample)
{
    const auto result = run({EXAMPLES "/freestanding", "12.5", "-7", "abc"});
    EXPECT_EQ(result.out, "12.5: integer 12, decimal 12.5\n-7: integer -7, decimal -7.0\n"
                          "abc: integer 0, decimal 0.0\n");
    EXPECT_EQ(result.status, 3);
}

}  // namespace
