// Per-call cost of the run-time's routines, each beside its floor (a
// routine making only the same system calls) and its libc equivalent, in
// one binary and one run. Output goes to /dev/null; input comes from a
// file rewound before every call, the rewind paid by every contender.
#include "redirect.h"

#include <bareio.h>

#include <benchmark/benchmark.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

extern "C" void floor_write(const char *text, uint64_t length);
extern "C" int64_t floor_read(char *buffer, uint64_t capacity);

namespace {

// ---- output -----------------------------------------------------------------

// One call of routine per iteration, standard output on /dev/null.
template <typename Routine>
void writing(benchmark::State &state, Routine routine)
{
    support::StdoutDiscarded quiet;
    for (auto _ : state)
        routine();
}

// What libc code does for the same: format into a buffer, one write.
template <typename Value>
void libc_write(const char *format, Value value)
{
    char buffer[64];
    benchmark::DoNotOptimize(value);
    const int n = std::snprintf(buffer, sizeof buffer, format, value);
    benchmark::DoNotOptimize(write(1, buffer, n));
}

void writeint_min(benchmark::State &state) { writing(state, [] { __writeint(INT64_MIN); }); }
void writeint_min_floor(benchmark::State &state) { writing(state, [] { floor_write("-9223372036854775808", 20); }); }
void writeint_min_libc(benchmark::State &state) { writing(state, [] { libc_write("%lld", LLONG_MIN); }); }

void writeint_7(benchmark::State &state) { writing(state, [] { __writeint(7); }); }
void writeint_7_floor(benchmark::State &state) { writing(state, [] { floor_write("7", 1); }); }
void writeint_7_libc(benchmark::State &state) { writing(state, [] { libc_write("%lld", 7LL); }); }

void writechr(benchmark::State &state) { writing(state, [] { __writechr('A'); }); }
void writechr_floor(benchmark::State &state) { writing(state, [] { floor_write("A", 1); }); }
void writechr_libc(benchmark::State &state) { writing(state, [] { benchmark::DoNotOptimize(write(1, "A", 1)); }); }

const char *const twenty = "abcdefghijklmnopqrst";

void writestr_20(benchmark::State &state) { writing(state, [] { __writestr(twenty, 0); }); }
void writestr_20_floor(benchmark::State &state) { writing(state, [] { floor_write(twenty, 20); }); }
void writestr_20_libc(benchmark::State &state)
{
    writing(state, [] {
        const char *text = twenty;
        benchmark::DoNotOptimize(text);
        benchmark::DoNotOptimize(write(1, text, std::strlen(text)));
    });
}

// __writedec beside two writes of its integer and fraction texts.
void writedec(benchmark::State &state, double value, const char *, const char *)
{
    writing(state, [value] { __writedec(value); });
}
void writedec_floor(benchmark::State &state, double, const char *whole, const char *fraction)
{
    const auto whole_length = std::strlen(whole), fraction_length = std::strlen(fraction);
    writing(state, [&] {
        floor_write(whole, whole_length);
        floor_write(fraction, fraction_length);
    });
}
void writedec_libc(benchmark::State &state, double value, const char *, const char *)
{
    writing(state, [value] { libc_write("%f", value); });
}

// ---- input ------------------------------------------------------------------

const char int_line[] = "9223372036854775807\n";  // 19 digits
const char dec_line[] = "123456.789012\n";

// One read of line per iteration, after a rewind, through routine.
template <typename Routine>
void reading(benchmark::State &state, const char *line, Routine routine)
{
    support::StdinFeed input(line);
    for (auto _ : state) {
        lseek(0, 0, SEEK_SET);
        benchmark::DoNotOptimize(routine());
    }
}

int64_t floor_read_20()
{
    char buffer[24];
    return floor_read(buffer, 20);
}

// What libc code does for the same: one read, a zero byte, a conversion.
template <typename Convert>
auto libc_read(Convert convert)
{
    char buffer[24];
    const ssize_t n = read(0, buffer, 20);
    buffer[n > 0 ? n : 0] = '\0';
    return convert(buffer);
}

void readint(benchmark::State &state) { reading(state, int_line, [] { return __readint(); }); }
void readint_floor(benchmark::State &state) { reading(state, int_line, floor_read_20); }
void readint_libc(benchmark::State &state)
{
    reading(state, int_line, [] { return libc_read([](const char *text) { return std::strtol(text, nullptr, 10); }); });
}

void readdec(benchmark::State &state) { reading(state, dec_line, [] { return __readdec(); }); }
void readdec_floor(benchmark::State &state) { reading(state, dec_line, floor_read_20); }
void readdec_libc(benchmark::State &state)
{
    reading(state, dec_line, [] { return libc_read([](const char *text) { return std::strtod(text, nullptr); }); });
}

}  // namespace

BENCHMARK(writeint_min);
BENCHMARK(writeint_min_floor);
BENCHMARK(writeint_min_libc);
BENCHMARK(writeint_7);
BENCHMARK(writeint_7_floor);
BENCHMARK(writeint_7_libc);
BENCHMARK(writechr);
BENCHMARK(writechr_floor);
BENCHMARK(writechr_libc);
BENCHMARK(writestr_20);
BENCHMARK(writestr_20_floor);
BENCHMARK(writestr_20_libc);
BENCHMARK_CAPTURE(writedec, 123456_789012, 123456.789012, "123456", ".789012");
BENCHMARK_CAPTURE(writedec_floor, 123456_789012, 123456.789012, "123456", ".789012");
BENCHMARK_CAPTURE(writedec_libc, 123456_789012, 123456.789012, "123456", ".789012");
BENCHMARK_CAPTURE(writedec, 0_5, 0.5, "0", ".5");
BENCHMARK_CAPTURE(writedec_floor, 0_5, 0.5, "0", ".5");
BENCHMARK_CAPTURE(writedec_libc, 0_5, 0.5, "0", ".5");
BENCHMARK(readint);
BENCHMARK(readint_floor);
BENCHMARK(readint_libc);
BENCHMARK(readdec);
BENCHMARK(readdec_floor);
BENCHMARK(readdec_libc);

BENCHMARK_MAIN();
