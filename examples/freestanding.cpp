// freestanding: a C++ program with no C library at all, on the run-time.
// It writes each argument beside its integer and decimal values.
//
//   g++ -c -ffreestanding -fno-exceptions -fno-rtti -fno-stack-protector \
//       $(pkg-config --cflags bareio) freestanding.cpp
//   ld -o freestanding freestanding.o $(pkg-config --libs bareio)

#include <bareio.h>

// The entry code: the kernel's stack pointer, untouched, into __start.
asm(R"(
    .text
    .globl _start
_start:
    lea program_main(%rip), %rdi
    call __start
)");

// Each argument on a line: its text, then its value read as an integer
// and as a decimal number. The exit status is the number of arguments.
// `used`: only the asm above names it, which -flto does not see.
extern "C" __attribute__((used)) int program_main()
{
    const int64_t count = __startarg(-1);
    for (int64_t i = 0; i < count; ++i) {
        __writestr(reinterpret_cast<const char *>(__startarg(i)), 0);
        __writestr(": integer ", 0);
        __writeint(__argvint(i));
        __writestr(", decimal ", 0);
        __writedec(__argvdec(i));
        __writechr('\n');
    }
    return static_cast<int>(count);
}
