/* calls: makes COUNT calls of one routine, for bench/instructions.sh,
 * which counts a run of 2N calls against a run of N so that start-up and
 * exit cancel out.
 *
 *   calls ROUTINE COUNT
 *     ROUTINE 0 __writeint(INT64_MIN), 1 __writedec(123456.789012),
 *             2 __writechr('A'), 3 __readint(), 4 __readline(line, 64)
 */
#include <bareio.h>

__asm__(".globl _start\n_start:\n\tlea calls_main(%rip), %rdi\n\tcall __start\n");

__attribute__((used)) int calls_main(void)
{
    const int64_t routine = __argvint(0), count = __argvint(1);
    switch (routine) {
    case 0:
        for (int64_t i = 0; i < count; ++i)
            __writeint(INT64_MIN);
        break;
    case 1:
        for (int64_t i = 0; i < count; ++i)
            __writedec(123456.789012);
        break;
    case 2:
        for (int64_t i = 0; i < count; ++i)
            __writechr('A');
        break;
    case 3:
        for (int64_t i = 0; i < count; ++i)
            __readint();
        break;
    case 4: {
        static char line[65];
        for (int64_t i = 0; i < count; ++i)
            __readline(line, 64);
        break;
    }
    default:
        return 1;
    }
    return 0;
}
