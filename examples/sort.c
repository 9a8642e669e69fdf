/* sort: reads integers from 0 to 65535, a line each, until end of input,
 * and writes them in increasing order, a line each, by counting how often
 * each value came. Exits with 1 when some line was out of range (it is
 * left out). A C program with no C library, through bareio.h's status
 * functions; `= {0}` makes the compiler clear the table with a call of
 * memset, which mem.c gives.
 *
 *   cc -c -O2 -ffreestanding -fno-stack-protector -mno-red-zone \
 *      -DBAREIO_NO_RED_ZONE $(pkg-config --cflags bareio) sort.c mem.c
 *   ld -o sort sort.o mem.o $(pkg-config --libs bareio)
 *   printf '3\n1\n3\n' | ./sort             # 1, 3, 3
 */
#include <bareio.h>

__asm__(".globl _start\n_start:\n\tlea sort_main(%rip), %rdi\n\tcall __start\n");

#define VALUES 65536

__attribute__((used)) int sort_main(void)
{
    int64_t counts[VALUES] = {0}, value;
    int out_of_range = 0;
    while (bareio_readint(&value)) {
        if (value >= 0 && value < VALUES)
            ++counts[value];
        else
            out_of_range = 1;
    }
    for (value = 0; value < VALUES; ++value)
        for (int64_t n = counts[value]; n > 0; --n) {
            __writeint(value);
            __writechr('\n');
        }
    return out_of_range;
}
