/* summax: summax.asm in C with no C library, through the status functions
 * of bareio.h: reads integers, a line each, until end of input, and writes
 * their sum and their maximum; exits with 1 when its output could not be
 * written.
 *
 *   cc -c -ffreestanding -fno-stack-protector -mno-red-zone \
 *      -DBAREIO_NO_RED_ZONE $(pkg-config --cflags bareio) summax.c
 *   ld -o summax summax.o $(pkg-config --libs bareio)
 *   printf '3\n0\n12\n5\n' | ./summax       # sum 20, max 12
 */
#include <bareio.h>

__asm__(".globl _start\n_start:\n\tlea summax_main(%rip), %rdi\n\tcall __start\n");

__attribute__((used)) int summax_main(void)
{
    int64_t value, sum = 0, max = INT64_MIN, count = 0;
    while (bareio_readint(&value)) {
        sum += value;
        max = value > max ? value : max;
        ++count;
    }
    int written = bareio_writestr("sum ", 0) & bareio_writeint(sum) &
                  bareio_writestr(", max ", 0) & bareio_writeint(count ? max : 0) &
                  bareio_writechr('\n');
    return !written;
}
