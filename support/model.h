// The reference model of the run-time's converters: the same steps in plain
// C++ arithmetic, operation by operation, so a test or a fuzzer can compare
// the assembly with it bit for bit.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace model {

// How many bytes one __readint or __readdec takes from standard input.
constexpr std::size_t read_size = 20;

// Optional '-', then digits up to the first non-digit, wrapping modulo 2^64.
int64_t strtoint(const char *text);

// Optional '-', digits, then an optional '.' and digits, each fraction digit
// added as digit / 10^k.
double strtodec(const char *text);

// What one read of standard input holding these bytes converts to: the
// first read_size bytes, up to the first zero byte.
int64_t readint(std::string_view input);
double readdec(std::string_view input);

// The text __writeint and __writedec write for a value, and the bytes
// __writechr writes for a code: lowest first, up to the first zero byte.
std::string writeint(int64_t value);
std::string writechr(uint64_t code);
std::string writedec(double value);

// The rounding bias added before a decimal is cut to six places.
extern const double bias;

double from_bits(uint64_t bits);
uint64_t to_bits(double value);

// The exact digits of a whole double, as glibc prints them.
std::string exact_whole(double value);

}  // namespace model
