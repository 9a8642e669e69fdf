// Rows of the test tables. A row has a name: it prints as that name, and
// by_name names each instantiated test after its row, so a failure says
// which row it was.
#pragma once

#include "contract.h"

#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace support {

// For INSTANTIATE_TEST_SUITE_P: the test's name is its row's name.
inline constexpr auto by_name = [](const auto &info) { return std::string(info.param.name); };

// A row of a conversion table: a text, the value it converts to, and
// whether it is one number that fits.
template <typename Value>
struct Conversion {
    const char *name;
    std::string text;
    Value value;
    bool number;
};

template <typename Value>
void PrintTo(const Conversion<Value> &row, std::ostream *os)
{
    *os << row.name;
}

// A command line that passes every row's text as one more argument, and
// the lines a program that writes each value back would print, by show.
template <typename Value, typename Show>
std::pair<std::vector<std::string>, std::string> every_text_as_argument(
    const std::vector<Conversion<Value>> &rows, std::vector<std::string> argv, Show show)
{
    std::string lines;
    for (const auto &row : rows) {
        argv.push_back(row.text);
        lines += show(row) + "\n";
    }
    return {std::move(argv), std::move(lines)};
}

// The rows of an argument routine called before __start, when there are
// no arguments: 0 for every index, with these flags for a negative index
// and for one of 0 or more.
template <typename Routine>
std::vector<Contract> before_start(Routine *routine, std::vector<int64_t> indices, Flags negative, Flags missing)
{
    std::vector<Contract> rows;
    for (int64_t index : indices)
        rows.push_back(Contract("before_start_" + std::to_string(rows.size()), routine)
                           .args(index)
                           .gives(0, index < 0 ? negative : missing));
    return rows;
}

}  // namespace support

// A routine's table of contract rows (contract.h), each row a CTest entry
// <module>.<Routine>Table.Holds/<row>: the check proves what the call did
// and what it kept.
#define BAREIO_TABLE(Routine, rows)                                                                       \
    class Routine##Table : public testing::TestWithParam<support::Contract> {};                         \
    TEST_P(Routine##Table, Holds) { EXPECT_EQ(support::check(GetParam()), GetParam().violations); }      \
    INSTANTIATE_TEST_SUITE_P(, Routine##Table, testing::ValuesIn(rows), support::by_name)
