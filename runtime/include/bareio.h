/*
 * bareio.h - the bareio run-time, called from C and C++.
 *
 * Every routine below (but __start) is an ordinary System V function of the
 * signature shown, and keeps more registers than the ABI asks (the calling
 * convention is stated in bareio(3)). Integers are signed 64-bit; an index
 * or count must be passed as a full 64-bit value, which these prototypes
 * see to. No routine allocates, buffers or reports errors; every byte goes
 * through read or write system calls on descriptor 0 or 1.
 *
 * Link with -lbareio after the program's objects (ld takes the modules the
 * program calls), or with lib/bareio/startup.o, and integer.o and decimal.o
 * for their routines (integer.o needs startup.o; decimal.o needs both).
 * The manual pages bareio(3) and one per routine tell the rest.
 */
#ifndef BAREIO_H
#define BAREIO_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- startup.o ---------------------------------------------------------- */

/* Runs main and exits with its result (the kernel keeps the low 8 bits).
   Only the program's entry code calls it, with rsp as at process entry:
       _start: lea rdi, [rip + main]
               call __start                                              */
__attribute__((noreturn)) void __start(int (*main_routine)(void));

/* index < 0: the number of arguments after the program name. index >= 0:
   the address of that argument's text (0 is the first after the name), or
   0 for an index at or past the count, and for every index before __start
   has run. Changes only rax. */
intptr_t __startarg(int64_t index);

/* One read of standard input into buffer, at most capacity bytes. Returns
   the byte count, less a final newline (left in the buffer, uncounted);
   0 at end of input; the negative kernel error code on failure, EINTR and
   EAGAIN included. Stores no zero byte. Keeps every register but rax and
   r11. */
int64_t __readstr(char *buffer, uint64_t capacity);

/* Writes length bytes of text to standard output, or, for length 0, the
   bytes before its zero byte (nothing for a null text). Continues short
   writes, retries writes interrupted by a signal and waits in poll while a
   non-blocking output is full; other errors end it silently. Keeps every
   register but r11. */
void __writestr(const char *text, uint64_t length);

/* ---- integer.o ---------------------------------------------------------- */

/* index < 0: the argument count, as __startarg. Otherwise the value of
   that argument: optional '-', digits up to the first non-digit, wrapping
   modulo 2^64; 0 for no digits or a missing argument. Keeps all but rax. */
int64_t __argvint(int64_t index);

/* Reads one line of standard input (up to and including its newline, at
   most 20 bytes; the rest stays for the next read) and converts it like
   __argvint; 0 for an empty line, at end of input or on a read error.
   Signals and non-blocking input are waited out. Keeps all but rax, r11. */
int64_t __readint(void);

/* Writes value in decimal: '-' when negative, no newline. Keeps all but r11. */
void __writeint(int64_t value);

/* Writes the bytes of code, lowest first, up to its first zero byte and at
   most eight: 65 writes "A", 0 nothing. Keeps all but r11. */
void __writechr(uint64_t code);

/* ---- decimal.o ---------------------------------------------------------- */

/* The value of argument index: optional '-', digits, optional '.' and
   digits; 0.0 for text that is not a number, a missing argument or a
   negative index. Keeps all but xmm0. */
double __argvdec(int64_t index);

/* Reads one line of standard input as __readint does and converts it like
   __argvdec; 0.0 for an empty line, at end of input or on a read error.
   Keeps all but xmm0 and r11. */
double __readdec(void);

/* Writes value rounded to six places, trailing zeros dropped, at least one
   fraction digit ("2.0", "-0.25", "3.141593"); "nan", "inf", "-inf"; from
   2^63 up the exact whole number and ".0". Keeps all but r11. */
void __writedec(double value);

#ifdef __cplusplus
}
#endif

#endif /* BAREIO_H */
