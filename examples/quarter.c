/* quarter: a C program with no C library at all, on the run-time. It
 * writes a quarter of its first argument, read as a decimal number.
 *
 *   cc -c -ffreestanding -fno-stack-protector -I<prefix>/include quarter.c
 *   ld -o quarter quarter.o <prefix>/lib/bareio/{startup,integer,decimal}.o
 */
#include <bareio.h>

__asm__(".globl _start\n_start:\n\tlea quarter_main(%rip), %rdi\n\tcall __start\n");

int quarter_main(void)
{
    __writedec(__argvdec(0) / 4.0);
    __writechr('\n');
    return 0;
}
