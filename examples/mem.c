/* mem: memset, memcpy, memmove and memcmp for programs with no C library.
 * Even with -ffreestanding, gcc and clang call these four: for an array
 * or structure initialised with `= {0}`, a structure copied or passed by
 * value, or a loop they recognise as one of them. The C library gives
 * them; without it, link this (or your own) beside the program.
 *
 *   cc -c -O2 -ffreestanding mem.c
 *
 * The stores go through a volatile pointer, so that the compiler cannot
 * turn these loops back into calls of themselves.
 */
#include <stddef.h>

void *memset(void *dest, int byte, size_t n)
{
    volatile unsigned char *d = dest;
    while (n--)
        *d++ = (unsigned char)byte;
    return dest;
}

void *memmove(void *dest, const void *src, size_t n)
{
    volatile unsigned char *d = dest;
    const unsigned char *s = src;
    if (d < s) {
        while (n--)
            *d++ = *s++;
    } else {
        while (n--)
            d[n] = s[n];
    }
    return dest;
}

void *memcpy(void *dest, const void *src, size_t n)
{
    return memmove(dest, src, n);
}

int memcmp(const void *a, const void *b, size_t n)
{
    const unsigned char *x = a, *y = b;
    for (; n; --n, ++x, ++y)
        if (*x != *y)
            return *x < *y ? -1 : 1;
    return 0;
}
