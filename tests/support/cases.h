// Rows of the test tables. A row has a name: it prints as that name, and
// by_name names each instantiated test after its row, so a failure says
// which row it was.
#pragma once

#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace support {

// For INSTANTIATE_TEST_SUITE_P: the test's name is its row's name; a
// contract's (contract.h) its routine's and its number.
inline constexpr auto by_name = [](const auto &info) { return std::string(info.param.name); };
inline constexpr auto by_routine = [](const auto &info) {
    return std::string(info.param.rules.name + 2) + "_" + std::to_string(info.index);
};

// A row of a conversion table: a text and the value it converts to.
template <typename Value>
struct Conversion {
    const char *name;
    std::string text;
    Value value;
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
        lines += show(row.value) + "\n";
    }
    return {std::move(argv), std::move(lines)};
}

}  // namespace support
