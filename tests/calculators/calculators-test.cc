// corvane and lintrel end to end, as installed: one table of dialogues for
// both programs, lintrel's answer being corvane's first line.
#include "process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <unistd.h>
#include <vector>

namespace {

using support::Input;
using support::Millis;
using support::run;

const std::string prompts = "Enter Principle\nEnter Rate / Period\n";

struct Case {
    std::string name, input;
    const char *simple;    // as printed after "Calculated Interest is "
    const char *compound;  // as printed after "Calculated Compound Interest is "
};

void PrintTo(const Case &c, std::ostream *os) { *os << c.name; }

// What the program writes after its prompts.
std::string answer(const std::string &program, const char *simple, const char *compound)
{
    return std::string("Calculated Interest is ") + simple + "\n" +
           (program == "corvane" ? std::string("Calculated Compound Interest is ") + compound + "\n" : "");
}

std::vector<Case> cases()
{
    const std::vector<std::tuple<const char *, const char *, const char *, const char *, const char *>> values = {
        {"1000", "5", "2", "100.000000", "102.499900"},  // single-precision growth factor
        {"1000", "10", "3", "300.000000", "331.000087"},
        {"1500.5", "3.5", "4", "210.070000", "221.358040"},
        {"100", "0", "5", "0.000000", "0.000000"},
        {"2000", "7.25", "0", "0.000000", "0.000000"},
        {"1000", "5", "-2", "-100.000000", "-92.970439"},
        {"1000", "-5", "2", "-100.000000", "-97.500023"},
        {"1000", "-5", "0", "-0.000000", "0.000000"},  // a negative zero keeps its sign
        {"1000", "5", "65541", "250.000000", "276.281273"},                 // the period wraps modulo 65536,
        {"1000", "5", "18446744073709551621", "-50.000000", "-47.619004"},  // after scanf stops at LONG_MAX
        {"inf", "5", "2", "inf", "-nan"},                                   // inf less inf
        {"inf", "0", "2", "-nan", "-nan"},                                  // inf times 0
    };
    std::vector<Case> rows;
    for (const auto &[principal, rate, period, simple, compound] : values)
        for (bool two_lines : {false, true}) {
            std::string name = std::string(principal) + "_" + rate + "_" + period + (two_lines ? "_two_lines" : "");
            for (char &ch : name)
                if (!isalnum(static_cast<unsigned char>(ch)))
                    ch = ch == '-' ? 'm' : '_';
            rows.push_back({name, std::string(principal) + "\n" + rate + (two_lines ? "\n" : " ") + period + "\n",
                            simple, compound});
        }
    // Input that cannot be read leaves the values at 0.
    for (const auto &[name, input] : std::vector<std::pair<const char *, const char *>>{
             {"empty", ""}, {"letters", "abc\n"}, {"principal_only", "1000\n"}, {"principal_no_newline", "1000"}})
        rows.push_back({name, input, "0.000000", "0.000000"});
    return rows;
}

class Dialogue : public testing::TestWithParam<std::tuple<Case, std::string>> {};

TEST_P(Dialogue, PrintsTheInterest)
{
    const auto &[c, program] = GetParam();
    const auto result = run({STAGE "/bin/" + program}, c.input);
    EXPECT_EQ(result.out, prompts + answer(program, c.simple, c.compound));
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.status, 0);
}

INSTANTIATE_TEST_SUITE_P(, Dialogue, testing::Combine(testing::ValuesIn(cases()), testing::Values("corvane", "lintrel")),
                         [](const auto &info) { return std::get<1>(info.param) + "_" + std::get<0>(info.param).name; });

const std::vector<std::string> programs = {"corvane", "lintrel"};

// A driver that waits for each prompt before it answers: the prompts must
// reach a pipe without waiting for the program to end; a terminal gets the
// same dialogue, and arguments change nothing.
TEST(Calculators, PromptsReachAPipeBeforeTheAnswersAndTheTerminalToo)
{
    for (const auto &program : programs) {
        support::Process child({STAGE "/bin/" + program, "--help"});
        ASSERT_TRUE(child.expect("Enter Principle\n", Millis(5000))) << program << " got: " << child.out();
        child.send("1000\n");
        ASSERT_TRUE(child.expect("Enter Rate / Period\n", Millis(5000))) << program << " got: " << child.out();
        child.send("5 2\n");
        EXPECT_EQ(child.finish(Millis(5000)).out, prompts + answer(program, "100.000000", "102.499900"));
        const auto result = run({STAGE "/bin/" + program}, "1500.5\n3.5\n4\n", Input::Terminal);
        EXPECT_EQ(result.out, prompts + answer(program, "210.070000", "221.358040")) << program;
        EXPECT_EQ(result.status, 0);
    }
}

// Byte for byte the first result line of corvane, on inputs whose products
// are not exact.
TEST(Calculators, LintrelAgreesWithCorvaneOnAwkwardValues)
{
    for (const char *input : {"0.1\n0.7 3\n", "123456789.987\n3.3333 -7\n", "1e300\n1e30 32767\n", "-0\n5 5\n",
                              "33.3\n1.1 -32768\n"}) {
        const auto mine = run({STAGE "/bin/lintrel"}, input).out;
        const auto theirs = run({STAGE "/bin/corvane"}, input).out;
        EXPECT_EQ(mine, theirs.substr(0, theirs.find("Calculated Compound"))) << input;
    }
}

// Output lost to /dev/full or to a full non-blocking pipe is reported, with
// status 1; a pipe with no reader ends the program by SIGPIPE.
TEST(Calculators, ReportOutputTheyCouldNotWrite)
{
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    const auto stuck = support::open_input(Input::Pipe), gone = support::open_input(Input::Pipe);
    fcntl(stuck.writer, F_SETFL, O_NONBLOCK);
    for (char block[4096] = {}; write(stuck.writer, block, sizeof block) > 0;) {
    }
    close(gone.reader);
    const std::tuple<int, std::string, int> outputs[] = {{full, ": write error: No space left on device\n", 1},
        {stuck.writer, ": write error: Resource temporarily unavailable\n", 1}, {gone.writer, "", 141}};
    for (const auto &program : programs)
        for (const auto &[output, message, status] : outputs) {
            const auto result = support::Process({STAGE "/bin/" + program}, Input::File, "1000\n5 2\n", output)
                                    .finish(Millis(5000));
            EXPECT_EQ(result.err, message.empty() ? "" : program + message) << program << status;
            EXPECT_EQ(result.status, status) << program << message;
        }
    for (int fd : {full, stuck.reader, stuck.writer, gone.writer})
        close(fd);
}

TEST(Calculators, LintrelExportsGetSimpleInterest)
{
    const std::string symbols = support::output_of({"nm", STAGE "/bin/lintrel"});
    EXPECT_NE(symbols.find(" T GetSimpleInterest\n"), std::string::npos) << symbols;
}

}  // namespace
