/* withlibc: what not to do, a program on the C library that also calls
 * the run-time. It links and runs, and goes wrong three ways at once: its
 * prompt comes out last (stdio keeps it in a buffer, the run-time writes
 * at once), the 2 is lost (scanf read all the input there was into stdio's
 * buffer), and argument 0 is missing (the C library started the program,
 * not __start). For each descriptor, use stdio or the run-time, not both.
 *
 *   cc -o withlibc withlibc.c $(pkg-config --cflags --libs bareio)
 *   printf '1\n2\n' | ./withlibc 5        # sum=1, no argument ...
 */
#include <stdio.h>
#include <bareio.h>

int main(void)
{
    int first = 0;
    int64_t second = 0, argument;

    printf("enter numbers: ");
    if (scanf("%d", &first) != 1)
        return 1;
    bareio_readint(&second);
    __writestr("sum=", 0);
    __writeint(first + second);
    if (!bareio_argvint(0, &argument))
        __writestr(", no argument", 0);
    __writechr('\n');
    printf("done\n");
    return 0;
}
