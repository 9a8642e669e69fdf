// The reference model of the run-time's converters: the same steps in plain
// C++ arithmetic, operation by operation, so a test or a fuzzer can compare
// the assembly with it bit for bit. What restates the run-time's rules has
// an independent oracle beside it in the tests: std::from_chars for the
// integer verdict, strtod for decimals read, "%.6f" for decimals written.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

namespace model {

// How many bytes of this input one line reader's call takes: up to and
// including the first newline, or all there is.
std::size_t line_length(std::string_view input);

// The most bytes of a line that __readint and __readdec convert.
constexpr std::size_t number_capacity = 64;

// Optional '-', then digits up to the first non-digit, wrapping modulo 2^64.
int64_t strtoint(const char *text);

// Optional '-', digits, then an optional '.' and digits, each fraction digit
// added as digit / 10^k.
double strtodec(const char *text);

// Whether a text, to its zero byte, is one number that fits: an optional
// '-' and digits from -2^63 to 2^63 - 1; or for a decimal, an optional '-',
// digits, optionally '.' and digits, at least one digit, a finite value.
bool is_integer(const char *text);
bool is_decimal(const char *text);

// What one __readint or __readdec makes of the first line of input: the
// value of its first number_capacity bytes (a final carriage return aside,
// up to a zero byte), and whether the line is one number that fits.
template <typename Value>
struct Number {
    Value value;
    bool number;
};
Number<int64_t> readint(std::string_view input);
Number<double> readdec(std::string_view input);

// The text __writeint and __writedec write for a value, and the bytes
// __writechr writes for a code: lowest first, up to the first zero byte.
std::string writeint(int64_t value);
std::string writechr(uint64_t code);
std::string writedec(double value);

inline double from_bits(uint64_t bits) { double value; std::memcpy(&value, &bits, sizeof value); return value; }
inline uint64_t to_bits(double value) { uint64_t bits; std::memcpy(&bits, &value, sizeof bits); return bits; }

// How many doubles lie between two, plus one: 0 for equal values (0.0 and
// -0.0 among them), 1 for neighbours.
uint64_t ulps_apart(double a, double b);

// The exact digits of a whole double, as glibc prints them.
std::string exact_whole(double value);

}  // namespace model
