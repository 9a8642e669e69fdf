// The reference model of the run-time's converters: the same steps in plain
// C++ arithmetic, operation by operation, so a test or a fuzzer can compare
// the assembly with it bit for bit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace model {

// The most bytes one __readint or __readdec takes from standard input.
constexpr std::size_t line_capacity = 20;

// How many bytes of this input one __readint or __readdec takes: up to and
// including the first newline, at most line_capacity, or all there is.
std::size_t line_length(std::string_view input);

// Optional '-', then digits up to the first non-digit, wrapping modulo 2^64.
int64_t strtoint(const char *text);

// Optional '-', digits, then an optional '.' and digits, each fraction digit
// added as digit / 10^k.
double strtodec(const char *text);

// What one call converts with standard input holding these bytes: the
// line that line_length() takes, up to its first zero byte.
int64_t readint(std::string_view input);
double readdec(std::string_view input);

// The text __writeint and __writedec write for a value, and the bytes
// __writechr writes for a code: lowest first, up to the first zero byte.
std::string writeint(int64_t value);
std::string writechr(uint64_t code);
std::string writedec(double value);

double from_bits(uint64_t bits);
uint64_t to_bits(double value);

// The exact digits of a whole double, as glibc prints them.
std::string exact_whole(double value);

}  // namespace model
