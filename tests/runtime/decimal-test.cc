// decimal: decimal text to value and values to text. Every in-process call
// goes through the register-contract check; the values are compared bit
// for bit with the model of the same steps (tests/support/model.h), and
// with oracles that share nothing with it: strtod for what is read, "%.6f"
// for what is written, each with the departures that are meant listed.
#include "cases.h"
#include "contract.h"
#include "lines.h"
#include "model.h"
#include "object-check.h"
#include "process.h"

#include <bareio.h>

#include <cfenv>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
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

using namespace support;
using model::exact_whole;
using model::from_bits;
using model::to_bits;

// ---- text to value ---------------------------------------------------------

using Conversion = support::Conversion<double>;

// Each text, its value, and whether it is one number that fits.
const std::vector<Conversion> conversions = {
    {"plain", "12.5", 12.5, true},
    {"negative", "-3.25", -3.25, true},
    {"no_integer_part", ".5", 0.5, true},
    {"point_last", "7.", 7.0, true},
    {"leading_zeros", "007", 7.0, true},
    {"minus_zero_is_plus_zero", "-0", 0.0, true},
    {"two_to_63", "9223372036854775808", 9223372036854777856.0, true},
    {"term_by_term_sum", "3.14159", 3.1415900000000003, true},
    {"twenty_nines", "99999999999999999999", 1.0000000000000002e20, true},
    {"second_point_ends", "1.2.3", 1.2, false},
    {"no_exponent", "1e3", 1.0, false},
    {"letters", "abc", 0.0, false},
    {"empty", "", 0.0, false},
    {"lone_minus", "-", 0.0, false},
    {"lone_point", ".", 0.0, false},
    {"leading_space", " 4", 0.0, false},
    {"plus_sign", "+4", 0.0, false},
    {"comma", "1,5", 1.0, false},
    {"letter_after", "2.5x", 2.5, false},
    {"newline_ends", "12\n", 12.0, false},
    {"high_byte_ends", "2\xb5", 2.0, false},
};

TEST(Readdec, ModelAgreesWithTheTable)
{
    for (const auto &c : conversions) {
        EXPECT_EQ(to_bits(model::strtodec(c.text.c_str())), to_bits(c.value)) << c.name;
        EXPECT_EQ(model::is_decimal(c.text.c_str()), c.number) << c.name;
    }
    EXPECT_FALSE(model::is_decimal(std::string(400, '9').c_str())) << "400 nines are infinite";
}

BAREIO_TABLE(Readdec, lines::number_reader_rows(__readdec, conversions, model::readdec));

// Through __argvdec in a started program, which writes each value back and
// " x" after one that was not a number.
TEST(Argvdec, ConvertsEveryTextAsAnArgument)
{
    auto texts = conversions;
    const std::string nines(400, '9'), long_one = "123456789012345678901234567890.5";
    texts.push_back({"infinite", nines, model::strtodec(nines.c_str()), false});
    texts.push_back({"longer_than_a_line", long_one, model::strtodec(long_one.c_str()), true});
    auto [argv, expected] = every_text_as_argument(texts, {PROBE, "argvdec"}, [](const Conversion &c) {
        return model::writedec(c.value) + (c.number ? "" : " x");
    });
    expected += "past=0.0\nminus1=0.0\n";  // past the count, and a negative index
    const auto result = run(argv);
    EXPECT_EQ(result.out, expected);
    EXPECT_EQ(result.status, 0);
}

BAREIO_TABLE(Argvdec, before_start(__argvdec, {-1, 0, 3}, done, none));

// Reads each text through the check and compares the value with the
// model's, bit for bit, and with strtod's within 8 units in the last
// place: the sum term by term is meant to differ there, by 5 at most in
// two million texts of up to 24 characters.
void expect_read_as_model_and_strtod(const std::vector<std::string> &texts, int mode)
{
    std::string violations;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const std::string &text = texts[i];
        StdinFeed feed(text + "\n");
        std::fesetround(mode);
        const double want = model::strtodec(text.c_str());
        const auto outcome = check_contract(Contract("", __readdec), i % 2, i, {to_bits(want), done});
        std::fesetround(FE_TONEAREST);
        const uint64_t apart = model::ulps_apart(want, std::strtod(text.c_str(), nullptr));
        if (violations.empty() && !outcome.violations.empty())
            violations = text + ": " + outcome.violations;  // the first is enough
        if (violations.empty() && mode == FE_TONEAREST && apart > 8)
            violations = text + ": " + std::to_string(apart) + " units from strtod";
    }
    EXPECT_EQ(violations, "");
}

// Random decimal texts of every shape, under every rounding mode.
TEST(Readdec, MatchesTheModelAndStrtodOnRandomTexts)
{
    std::mt19937_64 random(7);
    const char alphabet[] = "0123456789";
    for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
        std::vector<std::string> texts;
        for (int i = 0; i < 1500; ++i) {
            std::string text = random() % 4 ? "" : "-";
            for (int n = 1 + random() % 19; n > 0; --n)
                text += alphabet[random() % 10];
            if (random() % 5)
                text += '.';
            while (text.size() < 24 && random() % 8)
                text += alphabet[random() % 10];
            texts.push_back(text);
        }
        expect_read_as_model_and_strtod(texts, mode);
    }
}

// Integer parts on either side of 2^53, where digits stop being exact.
TEST(Readdec, MatchesTheModelAround2To53)
{
    std::vector<std::string> texts;
    for (uint64_t value = (1ull << 53) - 300; value < (1ull << 53) + 300; ++value)
        for (const std::string &text : {std::to_string(value), std::to_string(value) + "7",
                                        std::to_string(value / 10) + ".5", "-" + std::to_string(value) + ".3"})
            texts.push_back(text);
    expect_read_as_model_and_strtod(texts, FE_TONEAREST);
}

// ---- value to text ---------------------------------------------------------

std::vector<Contract> writedec_rows()
{
    const std::vector<std::pair<double, const char *>> texts = {
        {0.0, "0.0"}, {-0.0, "0.0"}, {1.0, "1.0"}, {10.0, "10.0"}, {2.5, "2.5"}, {0.1, "0.1"}, {0.12, "0.12"},
        {1.05, "1.05"}, {2.675, "2.675"}, {100.25, "100.25"}, {1234.5, "1234.5"}, {123456.789, "123456.789"},
        {3.14159265, "3.141593"}, {12.3456789, "12.345679"}, {0.9999994, "0.999999"}, {0.9999996, "1.0"},
        {99.9999996, "100.0"}, {0.0000004, "0.0"}, {0.0000006, "0.000001"}, {1.0000005, "1.000001"},
        {2.0000004, "2.0"},
        // where the steps depart from correct rounding
        {0.9416295, "0.941629"}, {947827487059.3, "947827487059.300048"},
        {std::nextafter(0x1p32, 1e300) + 10 * 0x1p-20, "4294967296.000011"},
        // negative values
        {-2.5, "-2.5"}, {-1.0, "-1.0"}, {-3.75, "-3.75"}, {-0.25, "-0.25"}, {-0.5, "-0.5"}, {-0.0000001, "-0.0"},
        {-12.625, "-12.625"}, {-9223372036854774784.0, "-9223372036854774784.0"},
        // outside the range of the steps
        {std::numeric_limits<double>::quiet_NaN(), "nan"}, {-std::numeric_limits<double>::quiet_NaN(), "nan"},
        {std::numeric_limits<double>::infinity(), "inf"}, {-std::numeric_limits<double>::infinity(), "-inf"},
        {1e20, "100000000000000000000.0"}, {-1e20, "-100000000000000000000.0"},
        {0x1p63, "9223372036854775808.0"}, {-0x1p63, "-9223372036854775808.0"}, {0x1p64, "18446744073709551616.0"}};
    std::vector<Contract> rows;
    for (const auto &[value, text] : texts) {
        std::string name = std::to_string(rows.size()) + "_" + text;
        for (char &ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        rows.push_back(Contract(name, __writedec).decimal(value).writes(text).returns(clear));
    }
    // Lost output: the first write (a /dev/full), both, and the huge path's one.
    for (double value : {2.5, 1e300})
        for (Output lost : {Output::Full, Output::Closed})
            rows.push_back(Contract("lost_" + std::to_string(rows.size()), __writedec).decimal(value).to(lost)
                               .returns(carry));
    rows.push_back(Contract("largest_double", __writedec).decimal(DBL_MAX).writes(exact_whole(DBL_MAX) + ".0"));
    rows.push_back(Contract("least_double", __writedec).decimal(-DBL_MAX).writes("-" + exact_whole(DBL_MAX) + ".0"));
    return rows;
}
BAREIO_TABLE(Writedec, writedec_rows());

TEST(Writedec, ModelAgreesWithTheTable)
{
    for (const auto &row : writedec_rows()) {
        if (row.written) {
            EXPECT_EQ(model::writedec(row.xmm0), *row.written) << row.name;
        }
    }
    EXPECT_EQ(exact_whole(DBL_MAX).size(), 309u);
}

// A failed first write (the sign and the whole part) sets CF though the
// second one, the fraction, gets through.
TEST(Writedec, AFailedFirstWriteSetsCarry)
{
    if (!on_path("strace"))
        GTEST_SKIP() << "strace is not in PATH: the failing first write is left untried";
    const auto result = traced("inject=write:error=EIO:when=1", {PROBE, "writedec", "2.5"}, Input::Pipe, {});
    EXPECT_EQ(result.out, ".5");
    EXPECT_EQ(result.status, 1);
}

// "%.6f" with the trailing zeros left off, but one; or, cut, the value's
// exact digits cut after the sixth place instead of rounded there.
std::string six_places(double value, bool cut = false)
{
    char text[400];
    std::snprintf(text, sizeof text, cut ? "%.30f" : "%.6f", value);
    std::string s(text, std::strchr(text, '.') + 7);
    while (s.back() == '0' && s[s.size() - 2] != '.')
        s.pop_back();
    return s;
}

// Whether |value| lies within 8 units in its last place of a half-way
// point between six-place decimals, where the bias addition, itself
// rounded, decides the last digit.
bool near_half_way(double value)
{
    const long double scaled = std::fabs(static_cast<long double>(value)) * 1e6L;
    const long double half_way = (std::floor(scaled) + 0.5L) / 1e6L;
    return std::fabs(std::fabs(static_cast<long double>(value)) - half_way) <=
           8 * (std::nextafter(std::fabs(value), INFINITY) - std::fabs(value));
}

// Writes every value under the given rounding mode, each through the check
// and each leaving the MXCSR as it found it, and compares the text with
// the model's, and with "%.6f" where the steps are meant to agree with it:
// below 2^32 but next to half-way points; from 2^32 up the digits are those
// of the value (or of the next double up, below 2^33) cut after six places.
// A negative zero is written "0.0".
void expect_model_agrees_under(int mode, const std::vector<double> &values)
{
    std::string expected, violations;
    for (double value : values)
        expected += model::writedec(value) + " ";
    Capture capture;
    std::fesetround(mode);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const unsigned before = _mm_getcsr();
        const std::string found =
            check_contract(Contract("", __writedec).decimal(values[i]), i % 2, i, {{}, clear}).violations;
        if (violations.empty())  // the first is enough
            violations = !found.empty() ? found : _mm_getcsr() != before ? "MXCSR changed" : "";
        __writestr(" ", 1);
    }
    std::fesetround(FE_TONEAREST);
    const std::string text = capture.text();
    EXPECT_EQ(violations, "");
    std::size_t from = 0;
    for (double value : values) {
        const std::size_t space = text.find(' ', from);
        const std::string got = text.substr(from, space - from);
        from = space + 1;
        const double magnitude = std::fabs(value);
        if (magnitude >= 0x1p63 || value == 0.0 || got == six_places(value) || near_half_way(value))
            continue;
        if (magnitude >= 0x1p32 &&
            (got == six_places(value, true) || got == six_places(std::nextafter(value, value * 2), true)))
            continue;
        ADD_FAILURE() << "\"%.6f\" of " << hex(to_bits(value)) << " gives " << six_places(value) << ", not " << got;
        break;
    }
    if (text == expected)
        return;
    std::size_t at = 0;
    while (at < text.size() && at < expected.size() && text[at] == expected[at])
        ++at;
    const std::size_t start = expected.rfind(' ', at) == std::string::npos ? 0 : expected.rfind(' ', at);
    ADD_FAILURE() << "first difference from the model near: got [" << text.substr(start, 40) << "] want ["
                  << expected.substr(start, 40) << "]";
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
    while (values.size() < 20000) {
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
    for (int i = 0; i < 2500; ++i) {
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
    for (int i = 0; i < 1500; ++i) {
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
        const bool broken = !check(Contract("", __argvint).args(0).gives(0, part)).empty() ||
                            !check(Contract("", __argvdec).args(0).gives(to_bits(0.1))).empty();
        Capture discarded(Output::Null);
        StdinFeed feed("0.1\n");
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

// bareio.h's status functions: 1 when every byte arrived, 0 when one was
// lost, to /dev/full (ENOSPC) or a closed descriptor (EBADF).
TEST(Writers, StatusFunctionsReportLostOutput)
{
    int (*const writers[])() = {[] { return bareio_writestr("abc", 0); }, [] { return bareio_writeint(-12345); },
                                [] { return bareio_writechr('A'); }, [] { return bareio_writedec(2.5); }};
    for (int i = 0; i < 4; ++i)
        for (Output to : {Output::File, Output::Full, Output::Closed}) {
            Capture capture(to);
            EXPECT_EQ(writers[i](), to == Output::File) << "writer " << i << " output " << static_cast<int>(to);
        }
}

// ---- the installed object --------------------------------------------------

TEST(Object, ExportsItsRoutinesOnlyAndLinksAnywhere)
{
    EXPECT_EQ(check_object(STAGE_LIBDIR "/bareio/decimal.o", {"__argvdec", "__readdec", "__writedec"}, {},
                           {"__strtodec", "__writehuge"}),
              "");
}

// ---- end to end ------------------------------------------------------------

TEST(EndToEnd, FreestandingCppExample)
{
    const auto result = run({EXAMPLES "/freestanding", "12.5", "-7", "abc"});
    EXPECT_EQ(result.out, "12.5: integer 12, decimal 12.5\n-7: integer -7, decimal -7.0\n"
                          "abc: integer 0, decimal 0.0\n");
    EXPECT_EQ(result.status, 3);
}

}  // namespace
