// lintrel end to end: its dialogue, and its agreement with corvane.
#include "interest-table.h"
#include "process.h"

#include <array>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <tuple>
#include <unistd.h>

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

INSTANTIATE_TEST_SUITE_P(, LintrelTable,
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

// Both programs: output lost to /dev/full or to a full non-blocking pipe is
// reported, with status 1; a pipe with no reader ends them by SIGPIPE.
TEST(Lintrel, LikeCorvaneReportsOutputItCouldNotWrite)
{
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    const auto stuck = support::open_input(support::Input::Pipe), gone = support::open_input(support::Input::Pipe);
    fcntl(stuck.writer, F_SETFL, O_NONBLOCK);
    for (char block[4096] = {}; write(stuck.writer, block, sizeof block) > 0;) {
    }
    close(gone.reader);
    const std::tuple<int, std::string, int> outputs[] = {{full, ": write error: No space left on device\n", 1},
        {stuck.writer, ": write error: Resource temporarily unavailable\n", 1}, {gone.writer, "", 141}};
    for (const std::string name : {"corvane", "lintrel"})
        for (const auto &[output, message, status] : outputs) {
            const auto result = support::Process({STAGE "/bin/" + name}, support::Input::File, "1000\n5 2\n",
                                                 output).finish(support::Millis(5000));
            EXPECT_EQ(result.err, message.empty() ? "" : name + message) << name << status;
            EXPECT_EQ(result.status, status) << name << message;
        }
    for (int fd : {full, stuck.reader, stuck.writer, gone.writer})
        close(fd);
}

TEST(Lintrel, ExportsGetSimpleInterest)
{
    const std::string symbols = support::output_of({"nm", lintrel});
    EXPECT_NE(symbols.find(" T GetSimpleInterest\n"), std::string::npos) << symbols;
}

}  // namespace
