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

// ---- input, line after line ---------------------------------------------------

// Short lines read one after another, from a file and from a pipe. Every
// `lap` calls, outside the timing, the file is rewound or the pipe refilled.
const std::string short_line = "12345\n";
constexpr int lap = 10000;

std::string short_lines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += short_line;
    return text;
}

template <typename Routine, typename Reset>
void line_after_line(benchmark::State &state, Routine routine, Reset reset)
{
    int left = 0;
    for (auto _ : state) {
        if (left-- == 0) {
            state.PauseTiming();
            reset();
            left = lap - 1;
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(routine());
    }
}

// Descriptor 0 a pipe whose writing end the benchmark keeps, to refill it
// with one lap of lines (60000 bytes: within the pipe's 64 KiB).
class FromPipe {
public:
    FromPipe() : ends_(support::open_input(support::Input::Pipe)), swap_(0, ends_.reader) {}
    ~FromPipe() { close(ends_.writer); }
    void refill() const
    {
        static const std::string lines = short_lines(lap);
        if (write(ends_.writer, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size()))
            std::abort();
    }

private:
    support::InputEnds ends_;
    support::Swap swap_;
};

// Buffered C stdio on the same descriptor, as a C program would read.
class Stdio {
public:
    Stdio() : file_(fdopen(dup(0), "r")) {}
    ~Stdio() { std::fclose(file_); }
    long next() const
    {
        long value = 0;
        benchmark::DoNotOptimize(std::fscanf(file_, "%ld", &value));
        return value;
    }
    void rewind() const { std::rewind(file_); }

private:
    FILE *file_;
};

// The file holds enough lines for a lap of 20-byte floor reads too.
void rewind() { lseek(0, 0, SEEK_SET); }

void readint_file_lines(benchmark::State &state)
{
    support::StdinFeed input(short_lines(4 * lap));
    line_after_line(state, [] { return __readint(); }, rewind);
}
void readint_file_lines_floor(benchmark::State &state)
{
    support::StdinFeed input(short_lines(4 * lap));
    line_after_line(state, floor_read_20, rewind);
}
void readint_file_lines_libc(benchmark::State &state)
{
    support::StdinFeed input(short_lines(4 * lap));
    Stdio in;
    line_after_line(state, [&] { return in.next(); }, [&] { in.rewind(); });
}

// The pipe's floor: the line's bytes, one bare read each.
void readint_pipe_lines(benchmark::State &state)
{
    FromPipe input;
    line_after_line(state, [] { return __readint(); }, [&] { input.refill(); });
}
void readint_pipe_lines_floor(benchmark::State &state)
{
    FromPipe input;
    line_after_line(
        state,
        [] {
            char byte;
            for (std::size_t i = 0; i < short_line.size(); ++i)
                floor_read(&byte, 1);
            return byte;
        },
        [&] { input.refill(); });
}
void readint_pipe_lines_libc(benchmark::State &state)
{
    FromPipe input;
    Stdio in;
    line_after_line(state, [&] { return in.next(); }, [&] { input.refill(); });
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
BENCHMARK(readint_file_lines);
BENCHMARK(readint_file_lines_floor);
BENCHMARK(readint_file_lines_libc);
BENCHMARK(readint_pipe_lines);
BENCHMARK(readint_pipe_lines_floor);
BENCHMARK(readint_pipe_lines_libc);

BENCHMARK_MAIN();
