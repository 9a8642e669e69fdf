// Process start-up, interleaved: each round starts every program once, from
// spawn to its exit reaped, in an order that rotates from round to round,
// so that the programs of one round share a time window. A tenth as many
// rounds again run first, untimed, as warm-up. Prints a line a round: each
// program's microseconds, in the order of the arguments.
//
//   startup-bench ROUNDS PROGRAM...
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <spawn.h>
#include <sys/wait.h>
#include <vector>

extern char **environ;

namespace {

double seconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Microseconds from spawning program to reaping its exit, which must be 0.
double run(char *program)
{
    char *argv[] = {program, nullptr};
    pid_t child = 0;
    int status = 0;
    const double start = seconds();
    if (posix_spawn(&child, program, nullptr, nullptr, argv, environ) != 0 ||
        waitpid(child, &status, 0) != child) {
        std::perror(program);
        std::exit(1);
    }
    const double end = seconds();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s: did not exit with 0\n", program);
        std::exit(1);
    }
    return (end - start) * 1e6;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s ROUNDS PROGRAM...\n", argv[0]);
        return 2;
    }
    const long rounds = std::atol(argv[1]), warmup = rounds / 10;
    const int programs = argc - 2;
    std::vector<double> times(programs);
    for (long round = -warmup; round < rounds; ++round) {
        for (int k = 0; k < programs; ++k) {
            const int which = static_cast<int>((round + warmup + k) % programs);
            times[which] = run(argv[2 + which]);
        }
        if (round >= 0)
            for (int which = 0; which < programs; ++which)
                std::printf(which + 1 < programs ? "%.2f " : "%.2f\n", times[which]);
    }
}
