// probe: a program on the run-time, with no C library, that the end-to-end
// tests drive through its arguments. The first argument names what to do:
//
//   args ...       "count=N", then each argument as "[text]", then what the
//                  index past the end, index -2 and INT64_MIN give
//   status N       ends with status N
//   readint K      K reads with __readint, a value per line
//   argvint ...    each argument through __argvint, then the index past end
//   argvdec ...    each argument through __argvdec, then past end and -1
//   writedec X     X through __argvdec and __writedec; status 1 when a
//                  byte was lost
//
// A value that was not one number that fits (the overflow flag) is
// followed by " x", as the bareio_*_verdict functions tell.

#include <bareio.h>

asm(R"(
    .text
    .globl _start
_start:
    lea probe_main(%rip), %rdi
    call __start
)");

namespace {

bool same(const char *a, const char *b)
{
    while (*a && *a == *b)
        ++a, ++b;
    return *a == *b;
}

void line(const char *text)
{
    __writestr(text, 0);
    __writechr('\n');
}

void labelled(const char *label, int64_t value)
{
    __writestr(label, 0);
    __writeint(value);
    __writechr('\n');
}

void verdict(int got)
{
    __writestr(got == BAREIO_NOT_A_NUMBER ? " x\n" : "\n", 0);
}

}  // namespace

extern "C" int probe_main()
{
    const int64_t count = __startarg(-1);
    const char *command = reinterpret_cast<const char *>(__startarg(0));
    if (!command)
        return 100;

    if (same(command, "args")) {
        labelled("count=", count);
        for (int64_t i = 0; i < count; ++i) {
            __writechr('[');
            __writestr(reinterpret_cast<const char *>(__startarg(i)), 0);
            line("]");
        }
        labelled("past=", __startarg(count));
        labelled("minus2=", __startarg(-2));
        labelled("min=", __startarg(INT64_MIN));
        return 0;
    }
    if (same(command, "status"))
        return static_cast<int>(__argvint(1));
    if (same(command, "readint")) {
        for (int64_t k = __argvint(1), value; k > 0; --k) {
            const int got = bareio_readint_verdict(&value);
            __writeint(value);
            verdict(got);
        }
        return 0;
    }
    if (same(command, "argvint")) {
        for (int64_t i = 1, value; i < count; ++i) {
            const int got = bareio_argvint_verdict(i, &value);
            __writeint(value);
            verdict(got);
        }
        labelled("past=", __argvint(count));
        return 0;
    }
    if (same(command, "writedec"))
        return !bareio_writedec(__argvdec(1));
    if (same(command, "argvdec")) {
        for (int64_t i = 1; i < count; ++i) {
            double value;
            const int got = bareio_argvdec_verdict(i, &value);
            __writedec(value);
            verdict(got);
        }
        __writestr("past=", 0);
        __writedec(__argvdec(count));
        __writestr("\nminus1=", 0);
        __writedec(__argvdec(-1));
        __writechr('\n');
        return 0;
    }
    line("unknown command");
    return 101;
}
