/* quarter: a C program with no C library at all, on the run-time. It
 * writes a quarter of its first argument, read as a decimal number.
 *
 *   cc -c -ffreestanding -fno-stack-protector $(pkg-config --cflags bareio) quarter.c
 *   ld -o quarter quarter.o $(pkg-config --libs bareio)
 *   ./quarter 5                    # 1.25
 *
 * The main routine is named only from the top-level asm, which the
 * compiler does not read: `used` keeps it (and its name) under -flto.
 */
#include <bareio.h>

__asm__(".globl _start\n_start:\n\tlea quarter_main(%rip), %rdi\n\tcall __start\n");

__attribute__((used)) int quarter_main(void)
{
    __writedec(__argvdec(0) / 4.0);
    __writechr('\n');
    return 0;
}
