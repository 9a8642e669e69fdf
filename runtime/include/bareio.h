/*
 * bareio.h - the bareio run-time, called from C and C++.
 *
 * Every routine below (but __start) is an ordinary System V function of the
 * signature shown, and keeps more registers than the ABI asks: the table
 * in bareio(3) says which each may change. Integers are signed 64-bit; an index
 * or count must be passed as a full 64-bit value, which these prototypes
 * see to. No routine allocates or buffers; every byte goes through system
 * calls on descriptor 0 or 1, but the register dump's, on descriptor 2.
 * Each routine reports in the carry flag what
 * happened (end of input, a missing argument, lost output), and the
 * readers of numbers and lines in the overflow flag whether they got one
 * number, or a whole line, which C cannot read after a call: the bareio_
 * functions at the end of this file make the same calls and return it.
 *
 * Link with -lbareio after the program's objects (ld takes the modules the
 * program calls), or with startup.o from the library folder's bareio/, and
 * integer.o and decimal.o for their routines (integer.o needs startup.o;
 * decimal.o needs both), and debug.o, which needs nothing, for the register
 * dump. The manual pages bareio(3) and one per module (__start(3),
 * __argvint(3), __argvdec(3), __dumpregs(3)) tell the rest, what can go
 * wrong among it.
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
   has run. */
intptr_t __startarg(int64_t index);

/* One read of standard input into buffer, at most capacity bytes. Returns
   the byte count, less a final newline (left in the buffer, uncounted);
   0 at end of input; the negative kernel error code on failure, EINTR and
   EAGAIN included. Stores no zero byte. */
int64_t __readstr(char *buffer, uint64_t capacity);

/* Reads one line of standard input into buffer, which holds capacity + 1
   bytes: the line's bytes up to its newline, at most capacity of them,
   and a zero byte after them. The newline is taken, not stored; a
   carriage return before it is kept. Returns the bytes stored; with no
   input at all, 0 or the negative kernel error code (buffer[0] = 0). A
   line longer than capacity leaves its rest for the next call (one of
   messages from a socket loses it). bareio_readline tells which. */
int64_t __readline(char *buffer, uint64_t capacity);

/* Writes length bytes of text to standard output, or, for length 0, the
   bytes before its zero byte (nothing for a null text). Continues short
   writes, retries writes interrupted by a signal and waits in poll while a
   non-blocking output is full; other errors, and a blocking output's
   time-out, end it (bareio_writestr returns 0). */
void __writestr(const char *text, uint64_t length);

/* ---- integer.o ---------------------------------------------------------- */

/* index < 0: the argument count, as __startarg. Otherwise the value of
   that argument: optional '-', digits up to the first non-digit, wrapping
   modulo 2^64; 0 for no digits or a missing argument. Whether the text was
   one number that fits: bareio_argvint_verdict. */
int64_t __argvint(int64_t index);

/* Reads one line of standard input, however long, and converts its first
   64 bytes like __argvint (a final carriage return aside); the rest of a
   longer line is dropped. 0 for an empty line, at end of input or on a
   read error. Signals and non-blocking input are waited out. Whether the
   line was one number that fits: bareio_readint_verdict. */
int64_t __readint(void);

/* Writes value in decimal: '-' when negative, no newline. */
void __writeint(int64_t value);

/* Writes the bytes of code, lowest first, up to its first zero byte and at
   most eight: 65 writes "A", 0 nothing. */
void __writechr(uint64_t code);

/* ---- decimal.o ---------------------------------------------------------- */

/* The value of argument index: optional '-', digits, optional '.' and
   digits, up to the first other byte; 0.0 for text with no digit there, a
   missing argument or a negative index. Whether the text was one number
   that fits: bareio_argvdec_verdict. */
double __argvdec(int64_t index);

/* Reads one line of standard input as __readint does and converts it like
   __argvdec; 0.0 for an empty line, at end of input or on a read error.
   Whether it was one number: bareio_readdec_verdict. */
double __readdec(void);

/* Writes value rounded to six places, trailing zeros dropped, at least one
   fraction digit ("2.0", "-0.25", "3.141593"); "nan", "inf", "-inf"; from
   2^63 up the exact whole number and ".0". */
void __writedec(double value);

/* ---- debug.o ------------------------------------------------------------ */

/* Writes every general register, the address the call returns to, the
   caller's rsp and the flags, one name and its 16 hexadecimal digits a
   line, to standard error in one write. Changes nothing: every register
   and flag comes back as it was, so it may stand between a comparison and
   its jump in assembly. A write that fails is reported in nothing. */
void __dumpregs(void);

/* ---- the status of a call ------------------------------------------------- */

/*
 * Each bareio_<routine> makes the call of its routine and returns 1 when
 * the call did all it was asked, 0 when the routine set the carry flag:
 *   bareio_readstr, bareio_readint, bareio_readdec: 0 when no input was
 *     taken at all (end of input, a read error, a failed or timed-out
 *     wait); a line, even an empty one, gives 1. The result is stored
 *     either way, as the routine returns it.
 *   bareio_startarg, bareio_argvint, bareio_argvdec: 0 when an index of 0
 *     or more names no argument; a negative index (the count) gives 1.
 *   bareio_writestr, bareio_writeint, bareio_writechr, bareio_writedec:
 *     0 when some byte could not be written.
 *
 *   int64_t value, sum = 0;
 *   while (bareio_readint(&value))
 *       sum += value;
 *
 * The call is made from inline assembly, which the compiler takes for no
 * call at all: the return address it pushes would land in the red zone,
 * where the compiler may keep data. Compiled with -mno-red-zone and
 * BAREIO_NO_RED_ZONE defined (the CMake package's bareio::headers and
 * bareio_add_program give both), the call is made as it stands; otherwise
 * it steps over the red zone first, which is as safe but hides the caller
 * from a debugger's backtrace in optimised code.
 */
#ifdef BAREIO_NO_RED_ZONE
#define BAREIO_CALL_(routine) "call " #routine
#else
#define BAREIO_CALL_(routine) \
    "{lea -128(%%rsp), %%rsp|lea rsp, [rsp - 128]}\n\tcall " #routine \
    "\n\t{lea 128(%%rsp), %%rsp|lea rsp, [rsp + 128]}"
#endif

/* A routine of an integer result (rax) and up to two integer arguments. */
#define BAREIO_STATUS_RAX_(routine, result, ...)                              \
    unsigned char lost_;                                                    \
    __asm__ volatile(BAREIO_CALL_(routine)                                  \
                     : "=a"(*(result)), "=@ccc"(lost_)                      \
                     : __VA_ARGS__                                          \
                     : "r11", "memory");                                    \
    return !lost_

/* A routine without a result. */
#define BAREIO_STATUS_NONE_(routine, ...)                                     \
    unsigned char lost_;                                                    \
    __asm__ volatile(BAREIO_CALL_(routine)                                  \
                     : "=@ccc"(lost_)                                       \
                     : __VA_ARGS__                                          \
                     : "r11", "memory");                                    \
    return !lost_

static inline int bareio_startarg(int64_t index, intptr_t *text)
{
    BAREIO_STATUS_RAX_(__startarg, text, "D"(index));
}

static inline int bareio_readstr(char *buffer, uint64_t capacity, int64_t *count)
{
    BAREIO_STATUS_RAX_(__readstr, count, "D"(buffer), "S"(capacity));
}

static inline int bareio_writestr(const char *text, uint64_t length)
{
    BAREIO_STATUS_NONE_(__writestr, "D"(text), "S"(length));
}

static inline int bareio_argvint(int64_t index, int64_t *value)
{
    BAREIO_STATUS_RAX_(__argvint, value, "D"(index));
}

static inline int bareio_readint(int64_t *value)
{
    BAREIO_STATUS_RAX_(__readint, value, "i"(0));
}

static inline int bareio_writeint(int64_t value)
{
    BAREIO_STATUS_NONE_(__writeint, "D"(value));
}

static inline int bareio_writechr(uint64_t code)
{
    BAREIO_STATUS_NONE_(__writechr, "D"(code));
}

static inline int bareio_argvdec(int64_t index, double *value)
{
    register double result_ __asm__("xmm0");
    unsigned char lost_;
    __asm__ volatile(BAREIO_CALL_(__argvdec)
                     : "=x"(result_), "=@ccc"(lost_)
                     : "D"(index)
                     : "r11", "memory");
    *value = result_;
    return !lost_;
}

static inline int bareio_readdec(double *value)
{
    register double result_ __asm__("xmm0");
    unsigned char lost_;
    __asm__ volatile(BAREIO_CALL_(__readdec)
                     : "=x"(result_), "=@ccc"(lost_)
                     :
                     : "r11", "memory");
    *value = result_;
    return !lost_;
}

static inline int bareio_writedec(double value)
{
    register double value_ __asm__("xmm0") = value;
    unsigned char lost_;
    __asm__ volatile(BAREIO_CALL_(__writedec)
                     : "=@ccc"(lost_)
                     : "x"(value_)
                     : "r11", "memory");
    return !lost_;
}

/*
 * The readers of numbers and lines also report in the overflow flag, and
 * these functions tell the three outcomes apart, by fixed values:
 *   bareio_readint_verdict, bareio_readdec_verdict, bareio_argvint_verdict,
 *   bareio_argvdec_verdict: BAREIO_NUMBER when the text is one number
 *     that fits (an optional '-' and digits from -2^63 to 2^63 - 1; for a
 *     decimal, digits with an optional '.', at least one digit, a finite
 *     value); BAREIO_NOT_A_NUMBER when it is not ("abc", "", "1.5" as an
 *     integer, "9223372036854775808" as an integer, a line over 64 bytes),
 *     the value still converted as ever; BAREIO_NONE when no input was
 *     taken, or no argument has that index. A negative index gives
 *     BAREIO_NUMBER: __argvint's count, __argvdec's 0.0.
 *   bareio_readline: BAREIO_LINE for a whole line; BAREIO_LINE_GOES_ON
 *     when the bytes stored are not all of it (the capacity ran out, the
 *     rest left for the next call; a message lost its rest; a read error
 *     or a time-out ended it); BAREIO_NONE when no input was taken.
 *
 *   int64_t value;
 *   int verdict;
 *   while ((verdict = bareio_readint_verdict(&value)) != BAREIO_NONE)
 *       if (verdict == BAREIO_NUMBER)
 *           sum += value;
 */
#define BAREIO_NONE 0
#define BAREIO_NUMBER 1
#define BAREIO_NOT_A_NUMBER (-1)
#define BAREIO_LINE 1
#define BAREIO_LINE_GOES_ON (-1)

/* A routine of an integer result and the carry and overflow flags. */
#define BAREIO_VERDICT_RAX_(routine, result, ...)                             \
    unsigned char none_, part_;                                             \
    __asm__ volatile(BAREIO_CALL_(routine)                                  \
                     : "=a"(*(result)), "=@ccc"(none_), "=@cco"(part_)      \
                     : __VA_ARGS__                                          \
                     : "r11", "memory");                                    \
    return none_ ? BAREIO_NONE : part_ ? -1 : 1

/* A routine of a decimal result (xmm0) and both flags. */
#define BAREIO_VERDICT_XMM0_(routine, result, ...)                            \
    register double result_ __asm__("xmm0");                                \
    unsigned char none_, part_;                                             \
    __asm__ volatile(BAREIO_CALL_(routine)                                  \
                     : "=x"(result_), "=@ccc"(none_), "=@cco"(part_)        \
                     : __VA_ARGS__                                          \
                     : "r11", "memory");                                    \
    *(result) = result_;                                                    \
    return none_ ? BAREIO_NONE : part_ ? -1 : 1

static inline int bareio_readline(char *buffer, uint64_t capacity, int64_t *count)
{
    BAREIO_VERDICT_RAX_(__readline, count, "D"(buffer), "S"(capacity));
}

static inline int bareio_readint_verdict(int64_t *value)
{
    BAREIO_VERDICT_RAX_(__readint, value, "i"(0));
}

static inline int bareio_argvint_verdict(int64_t index, int64_t *value)
{
    BAREIO_VERDICT_RAX_(__argvint, value, "D"(index));
}

static inline int bareio_readdec_verdict(double *value)
{
    BAREIO_VERDICT_XMM0_(__readdec, value, "i"(0));
}

static inline int bareio_argvdec_verdict(int64_t index, double *value)
{
    BAREIO_VERDICT_XMM0_(__argvdec, value, "D"(index));
}

#undef BAREIO_STATUS_RAX_
#undef BAREIO_STATUS_NONE_
#undef BAREIO_VERDICT_RAX_
#undef BAREIO_VERDICT_XMM0_

#ifdef __cplusplus
}
#endif

#endif /* BAREIO_H */
