// Per-call cost of the run-time's routines, each beside its floor (a
// routine making only the same system calls) and its libc equivalent.
// Each case times the three interleaved: a block of calls of each, back to
// back, in an order that rotates from one iteration to the next, so that
// the ratios of one repetition compare one time window. Its counters are
// each contender's nanoseconds a call over the repetition: routine_ns,
// floor_ns, libc_ns. Output goes to /dev/null; single lines come from a
// file rewound before every call, the rewind paid by every contender.
#include "redirect.h"

#include <bareio.h>

#include <benchmark/benchmark.h>

#include <array>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <unistd.h>

extern "C" void floor_write(const char *text, uint64_t length);
extern "C" int64_t floor_read(char *buffer, uint64_t capacity);

namespace {

// ---- interleaving -----------------------------------------------------------

// The calls a contender makes in a row, timed together; divides `lap`.
constexpr int block_calls = 100;

template <typename Call>
double block(Call call)
{
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < block_calls; ++i)
        call();
    return std::chrono::duration<double, std::nano>(std::chrono::steady_clock::now() - start).count();
}

// Contender 0 the routine, 1 its floor, 2 libc's equivalent. Before each
// block, untimed, enter(contender) readies what it reads.
template <typename Routine, typename Floor, typename Libc, typename Enter>
void interleaved(benchmark::State &state, Routine routine, Floor floor, Libc libc, Enter enter)
{
    std::array<double, 3> ns{};
    int64_t rounds = 0;
    for (auto _ : state) {
        for (int k = 0; k < 3; ++k) {
            const int who = static_cast<int>((rounds + k) % 3);
            enter(who);
            ns[who] += who == 0 ? block(routine) : who == 1 ? block(floor) : block(libc);
        }
        ++rounds;
    }
    const double calls = static_cast<double>(rounds) * block_calls;
    state.counters["routine_ns"] = ns[0] / calls;
    state.counters["floor_ns"] = ns[1] / calls;
    state.counters["libc_ns"] = ns[2] / calls;
}

// ---- output -----------------------------------------------------------------

// Standard output on /dev/null.
template <typename Routine, typename Floor, typename Libc>
void writing(benchmark::State &state, Routine routine, Floor floor, Libc libc)
{
    support::Capture quiet(support::Output::Null);
    interleaved(state, routine, floor, libc, [](int) {});
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

void writeint_min(benchmark::State &state)
{
    writing(
        state, [] { __writeint(INT64_MIN); }, [] { floor_write("-9223372036854775808", 20); },
        [] { libc_write("%lld", LLONG_MIN); });
}

void writeint_7(benchmark::State &state)
{
    writing(
        state, [] { __writeint(7); }, [] { floor_write("7", 1); }, [] { libc_write("%lld", 7LL); });
}

void writechr(benchmark::State &state)
{
    writing(
        state, [] { __writechr('A'); }, [] { floor_write("A", 1); },
        [] { benchmark::DoNotOptimize(write(1, "A", 1)); });
}

const char *const twenty = "abcdefghijklmnopqrst";

void writestr_20(benchmark::State &state)
{
    writing(
        state, [] { __writestr(twenty, 0); }, [] { floor_write(twenty, 20); },
        [] {
            const char *text = twenty;
            benchmark::DoNotOptimize(text);
            benchmark::DoNotOptimize(write(1, text, std::strlen(text)));
        });
}

// __writedec beside two writes of its integer and fraction texts.
void writedec(benchmark::State &state, double value, const char *whole, const char *fraction)
{
    const auto whole_length = std::strlen(whole), fraction_length = std::strlen(fraction);
    writing(
        state, [value] { __writedec(value); },
        [&] {
            floor_write(whole, whole_length);
            floor_write(fraction, fraction_length);
        },
        [value] { libc_write("%f", value); });
}

// ---- input ------------------------------------------------------------------

const char int_line[] = "9223372036854775807\n";  // 19 digits
const char dec_line[] = "123456.789012\n";

// Each call a read of line after a rewind.
template <typename Routine, typename Floor, typename Libc>
void reading(benchmark::State &state, const char *line, Routine routine, Floor floor, Libc libc)
{
    support::StdinFeed input(line);
    const auto rewound = [](auto read) {
        return [read] {
            lseek(0, 0, SEEK_SET);
            benchmark::DoNotOptimize(read());
        };
    };
    interleaved(state, rewound(routine), rewound(floor), rewound(libc), [](int) {});
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

void readint(benchmark::State &state)
{
    reading(
        state, int_line, [] { return __readint(); }, floor_read_20,
        [] { return libc_read([](const char *text) { return std::strtol(text, nullptr, 10); }); });
}

void readdec(benchmark::State &state)
{
    reading(
        state, dec_line, [] { return __readdec(); }, floor_read_20,
        [] { return libc_read([](const char *text) { return std::strtod(text, nullptr); }); });
}

// ---- input, line after line ---------------------------------------------------

// Short lines read one after another, from a file and from a pipe.
const std::string short_line = "12345\n";
constexpr int lap = 10000;

std::string short_lines(int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += short_line;
    return text;
}

// Each contender reads a file or a pipe of its own, moved onto descriptor 0
// before each of its blocks; every `lap` calls, before a block, the file is
// rewound or the pipe refilled with a lap of lines (60000 bytes: within the
// pipe's 64 KiB). The file holds enough lines for a lap of 20-byte floor
// reads. libc's contender reads its own through buffered C stdio.
class Lines {
public:
    explicit Lines(support::Input how) : pipe_(how == support::Input::Pipe)
    {
        for (auto &ends : ends_)
            ends = support::open_input(how, pipe_ ? std::string() : short_lines(4 * lap));
        stdio_ = fdopen(dup(ends_[2].reader), "r");
        swap_.emplace(0, dup(ends_[0].reader));
    }
    ~Lines()
    {
        swap_.reset();
        std::fclose(stdio_);
        for (const auto &ends : ends_) {
            close(ends.reader);
            if (ends.writer >= 0)
                close(ends.writer);
        }
    }
    Lines(const Lines &) = delete;
    Lines &operator=(const Lines &) = delete;

    void enter(int who)
    {
        if (left_[who] == 0) {
            reset(who);
            left_[who] = lap;
        }
        left_[who] -= block_calls;
        dup2(ends_[who].reader, 0);
    }
    long next_stdio() const
    {
        long value = 0;
        benchmark::DoNotOptimize(std::fscanf(stdio_, "%ld", &value));
        return value;
    }

private:
    void reset(int who) const
    {
        if (pipe_) {
            static const std::string lines = short_lines(lap);
            if (write(ends_[who].writer, lines.data(), lines.size()) != static_cast<ssize_t>(lines.size()))
                std::abort();
        } else if (who == 2) {
            std::rewind(stdio_);
        } else {
            lseek(ends_[who].reader, 0, SEEK_SET);
        }
    }

    bool pipe_;
    std::array<support::InputEnds, 3> ends_;
    std::array<int, 3> left_{};
    FILE *stdio_;
    std::optional<support::Swap> swap_;
};

// The floor of a pipe: the line's bytes, one bare read each.
int64_t floor_read_bytes()
{
    char byte = 0;
    for (std::size_t i = 0; i < short_line.size(); ++i)
        floor_read(&byte, 1);
    return byte;
}

void line_after_line(benchmark::State &state, support::Input how, int64_t (*floor)())
{
    Lines input(how);
    interleaved(
        state, [] { benchmark::DoNotOptimize(__readint()); },
        [floor] { benchmark::DoNotOptimize(floor()); },
        [&] { benchmark::DoNotOptimize(input.next_stdio()); }, [&](int who) { input.enter(who); });
}

void readint_file_lines(benchmark::State &state) { line_after_line(state, support::Input::File, floor_read_20); }
void readint_pipe_lines(benchmark::State &state) { line_after_line(state, support::Input::Pipe, floor_read_bytes); }

}  // namespace

BENCHMARK(writeint_min);
BENCHMARK(writeint_7);
BENCHMARK(writechr);
BENCHMARK(writestr_20);
BENCHMARK_CAPTURE(writedec, 123456_789012, 123456.789012, "123456", ".789012");
BENCHMARK_CAPTURE(writedec, 0_5, 0.5, "0", ".5");
BENCHMARK(readint);
BENCHMARK(readdec);
BENCHMARK(readint_file_lines);
BENCHMARK(readint_pipe_lines);

BENCHMARK_MAIN();
