// corvane end to end: the installed program's whole dialogue.
#include "cases.h"
#include "interest-table.h"
#include "process.h"

#include <gtest/gtest.h>
#include <tuple>

namespace {

using support::Input;
using support::Millis;
using support::run;

const std::string corvane = STAGE "/bin/corvane";

class CorvaneTable : public testing::TestWithParam<std::tuple<interest::Case, bool>> {};

TEST_P(CorvaneTable, PrintsBothInterests)
{
    const auto &[c, two_lines] = GetParam();
    const auto result = run({corvane}, interest::answers(c, two_lines));
    EXPECT_EQ(result.out, interest::prompts() + interest::simple_line(c.simple) +
                              interest::compound_line(c.compound));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(, CorvaneTable,
                         testing::Combine(testing::ValuesIn(interest::cases()), testing::Bool()),
                         [](const auto &info) {
                             return interest::name(std::get<0>(info.param), std::get<1>(info.param));
                         });

// Input that cannot be read leaves the values at 0: prompts, zero results,
// status 0, nothing on standard error.
struct BadInput {
    const char *name;
    const char *input;
};

void PrintTo(const BadInput &c, std::ostream *os) { *os << c.name; }

class CorvaneBadInput : public testing::TestWithParam<BadInput> {};

TEST_P(CorvaneBadInput, GivesZeros)
{
    const auto result = run({corvane}, GetParam().input);
    EXPECT_EQ(result.out, interest::prompts() + interest::simple_line("0.000000") +
                              interest::compound_line("0.000000"));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(, CorvaneBadInput,
                         testing::Values(BadInput{"empty", ""}, BadInput{"letters", "abc\n"},
                                         BadInput{"principal_only", "1000\n"},
                                         BadInput{"principal_no_newline", "1000"}),
                         support::by_name);

// A driver that waits for each prompt before it answers: the prompts must
// reach a pipe without waiting for the program to end.
TEST(Corvane, PromptsReachAPipeBeforeTheAnswers)
{
    support::Process child({corvane});
    ASSERT_TRUE(child.expect("Enter Principle\n", Millis(5000))) << "got: " << child.out();
    child.send("1000\n");
    ASSERT_TRUE(child.expect("Enter Rate / Period\n", Millis(5000))) << "got: " << child.out();
    child.send("5 2\n");
    const auto result = child.finish(Millis(5000));
    EXPECT_EQ(result.out, interest::prompts() + interest::simple_line("100.000000") +
                              interest::compound_line("102.499900"));
    EXPECT_EQ(result.status, 0);
}

TEST(Corvane, TakesNoArgumentsAndIgnoresAny)
{
    const auto result = run({corvane, "--help"}, "1000\n10 3\n");
    EXPECT_EQ(result.out, interest::prompts() + interest::simple_line("300.000000") +
                              interest::compound_line("331.000087"));
}

TEST(Corvane, RunsAtATerminal)
{
    const auto result = run({corvane}, "1500.5\n3.5\n4\n", Input::Terminal);
    EXPECT_EQ(result.out, interest::prompts() + interest::simple_line("210.070000") +
                              interest::compound_line("221.358040"));
    EXPECT_EQ(result.status, 0);
}

}  // namespace
