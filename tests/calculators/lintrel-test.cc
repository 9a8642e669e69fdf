// lintrel end to end: its dialogue, and its agreement with corvane.
#include "interest-table.h"
#include "object-check.h"
#include "process.h"

#include <array>
#include <gtest/gtest.h>
#include <tuple>

namespace {

using support::run;

const std::string lintrel = STAGE "/bin/lintrel";
const std::string corvane = STAGE "/bin/corvane";

class LintrelTable : public testing::TestWithParam<std::tuple<interest::Case, bool>> {};

TEST_P(LintrelTable, PrintsTheSimpleInterestOnly)
{
    const auto &[c, two_lines] = GetParam();
    const auto result = run({lintrel}, interest::answers(c, two_lines));
    EXPECT_EQ(result.out, interest::prompts() + interest::simple_line(c.simple));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

// Byte for byte the first result line of corvane, on the table and on
// inputs whose products are not exact.
TEST_P(LintrelTable, AgreesWithCorvane)
{
    const auto &[c, two_lines] = GetParam();
    const auto input = interest::answers(c, two_lines);
    const auto mine = run({lintrel}, input).out;
    const auto theirs = run({corvane}, input).out;
    EXPECT_EQ(mine, theirs.substr(0, theirs.find("Calculated Compound")));
}

INSTANTIATE_TEST_SUITE_P(Rows, LintrelTable,
                         testing::Combine(testing::ValuesIn(interest::cases()), testing::Bool()),
                         [](const auto &info) {
                             return interest::name(std::get<0>(info.param), std::get<1>(info.param));
                         });

TEST(Lintrel, AgreesWithCorvaneOnAwkwardValues)
{
    const std::array<const char *, 5> inputs = {"0.1\n0.7 3\n", "123456789.987\n3.3333 -7\n",
                                                "1e300\n1e30 32767\n", "-0\n5 5\n", "33.3\n1.1 -32768\n"};
    for (const char *input : inputs) {
        const auto mine = run({lintrel}, input).out;
        const auto theirs = run({corvane}, input).out;
        EXPECT_EQ(mine, theirs.substr(0, theirs.find("Calculated Compound"))) << input;
    }
}

TEST(Lintrel, MissingInputGivesZero)
{
    for (const char *input : {"", "abc\n", "1000\n"}) {
        const auto result = run({lintrel}, input);
        EXPECT_EQ(result.out, interest::prompts() + interest::simple_line("0.000000")) << input;
        EXPECT_EQ(result.status, 0);
    }
}

TEST(Lintrel, ExportsGetSimpleInterest)
{
    const std::string symbols = support::output_of({"nm", lintrel});
    EXPECT_NE(symbols.find(" T GetSimpleInterest\n"), std::string::npos) << symbols;
}

}  // namespace
