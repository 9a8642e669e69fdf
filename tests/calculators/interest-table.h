// The interest dialogue shared by corvane and lintrel, and the cases both
// are checked against.
#pragma once

#include <cctype>
#include <ostream>
#include <string>
#include <vector>

namespace interest {

struct Case {
    const char *principal;
    const char *rate;
    const char *period;
    const char *simple;    // as printed after "Calculated Interest is "
    const char *compound;  // as printed after "Calculated Compound Interest is "
};

inline void PrintTo(const Case &c, std::ostream *os) { *os << c.principal << ' ' << c.rate << ' ' << c.period; }

inline const std::vector<Case> &cases()
{
    static const std::vector<Case> table = {
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
    return table;
}

// The answers, with rate and period on one line or on two.
inline std::string answers(const Case &c, bool two_lines)
{
    return std::string(c.principal) + "\n" + c.rate + (two_lines ? "\n" : " ") + c.period + "\n";
}

inline const char *prompts() { return "Enter Principle\nEnter Rate / Period\n"; }

inline std::string simple_line(const char *value) { return std::string("Calculated Interest is ") + value + "\n"; }

inline std::string compound_line(const char *value)
{
    return std::string("Calculated Compound Interest is ") + value + "\n";
}

inline std::string name(const Case &c, bool two_lines)
{
    std::string text = std::string(c.principal) + "_" + c.rate + "_" + c.period + (two_lines ? "_two_lines" : "");
    for (char &ch : text)
        if (!isalnum(static_cast<unsigned char>(ch)))
            ch = ch == '-' ? 'm' : '_';
    return text;
}

}  // namespace interest
