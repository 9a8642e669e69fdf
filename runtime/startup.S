/*
 * startup: process start-up and exit, argument access, console text I/O.
 *
 * A program linked with this module starts in its own two-line entry code,
 * which calls __start with the address of its main routine; __start records
 * where the kernel's start-up block lies, runs main and ends the process with
 * main's result. Main then reaches its arguments through __startarg and does
 * console I/O through __readstr and __writestr: one read of standard input,
 * and a write to standard output that goes on until every byte is out,
 * nothing buffered.
 *
 * Register convention: the run-time's one, stated in bareio(3)
 * (man/bareio.3.in). Each routine below names the registers it may change;
 * all others come back unchanged.
 */
#include "bareio-asm.h"

	.data
	.p2align 3
/* Address of the start-up block (argc, argv[0..argc-1], 0, envp...), set
   once by __start; 0 while the program has not started through it. */
OBJECT(__start_stack)
	.quad	0
END_OBJECT(__start_stack)

/*
 * __start - run the program's main routine and exit with its result
 *
 * In:      rdi = address of main; reached by a call made with rsp at its
 *          value at process entry (the return address lies right below argc)
 * Out:     does not return
 *
 * Main is entered with rsp 8 mod 16 (as after any call from an aligned
 * stack), rax = 0, rdi = its own address, and no other arguments. Its rax is
 * the exit status; the kernel keeps the low 8 bits.
 */
ENTRY(__start)
	.cfi_undefined rip		/* the outermost frame: unwinding ends here */
	add	rsp, 8			/* drop our return address: rsp -> argc */
	mov	qword ptr [rip + __start_stack], rsp
	xor	eax, eax
	call	rdi
	mov	rdi, rax		/* main's result is the status */
	mov	eax, SYS_exit
	syscall
	ud2				/* not reached */
END(__start)

/*
 * __startarg - argument text or argument count
 *
 * In:      rdi = argument index (signed 64-bit; 0 is the first argument
 *          after the program name)
 * Out:     rax = for a negative index, the number of arguments after the
 *          program name; otherwise the address of that argument's
 *          zero-terminated text, or 0 when the index is at or past the count
 *          CF = 1 when a non-negative index names no argument, else 0
 * Changes: rax, flags
 *
 * Before __start has run there are no arguments: the count is 0 and every
 * text address is 0; so too for a block whose argc is 0. The environment
 * is never handed out as an argument.
 */
ENTRY(__startarg)
	mov	rax, qword ptr [rip + __start_stack]
	test	rax, rax
	jz	.Lstartarg_none		/* not started: count 0, no texts */
	mov	rax, qword ptr [rax]	/* argc, the program name included */
	dec	rax			/* count of arguments after it */
	js	.Lstartarg_none		/* argc 0: not even a name, no arguments */
	test	rdi, rdi
	js	.Lstartarg_done		/* negative index: the count, CF = 0 */
	cmp	rax, rdi
	jle	.Lstartarg_none		/* signed: index at or past the count */
	mov	rax, qword ptr [rip + __start_stack]	/* CF = 0 from the cmp */
	mov	rax, qword ptr [rax + 8*rdi + 16]	/* argv[index + 1] */
.Lstartarg_done:
	ret
.Lstartarg_none:			/* count 0, or no text: */
	xor	eax, eax
	bt	rdi, 63			/* CF = 1 for a negative index, */
	cmc				/* so CF = 1 when one is missing */
	ret
END(__startarg)

/*
 * __readstr - one read of standard input
 *
 * In:      rdi = buffer, rsi = capacity in bytes
 * Out:     rax = number of bytes read, less one when the last byte read is
 *          a newline (the newline stays in the buffer, uncounted); 0 at end
 *          of input; a negative kernel error code, unchanged, on failure
 *          CF = 1 when the read took no byte (end of input, an error, or
 *          a capacity of 0), 0 when it took some (a lone newline counts 0)
 * Changes: rax, r11, flags
 *
 * Exactly one read system call, its result handed back as it is (EINTR
 * and EAGAIN included): a terminal hands over at most one line, a pipe or
 * file what is there, up to the capacity; the rest waits for the next
 * call. No zero byte is stored; a caller that wants one reserves a byte
 * more than the capacity and stores it at the count.
 */
ENTRY(__readstr)
	save	rdi, rsi, rdx
	mov	rdx, rsi		/* read(STDIN, buffer, capacity) */
	mov	rsi, rdi
	mov	edi, STDIN
	mov	eax, SYS_read
	kernel_call
	test	rax, rax
	stc				/* none taken (stc leaves ZF, SF, OF) */
	jle	1f			/* end of input or error: as it is */
	cmp	byte ptr [rsi + rax - 1], NEWLINE
	jne	2f
	dec	rax			/* uncount the final newline */
2:	clc				/* bytes taken */
1:	restore	rdi, rsi, rdx
	ret
END(__readstr)

/*
 * __writestr - write a text to standard output
 *
 * In:      rdi = text, rsi = length in bytes, or 0 for a zero-terminated
 *          text (whose zero byte is not written); a null text with
 *          length 0 writes nothing
 * Out:     nothing; rax is kept
 *          CF = 1 when some byte could not be written (or the write of an
 *          empty text failed), 0 when every byte was
 * Changes: r11, flags (the direction flag is not touched)
 *
 * Normally one write system call. A short write is continued, a write
 * interrupted by a signal is retried, and one that would block (standard
 * output non-blocking) waits in poll for room: every byte arrives, unless
 * the kernel reports another error (or accepts no byte at all), a blocking
 * output's own time-out (SO_SNDTIMEO) runs out, or poll itself fails,
 * which ends the call with CF set. An empty text still makes one write of
 * zero bytes.
 */
ENTRY(__writestr)
	save	rax, rdx, rsi, rdi
	mov	rdx, rsi
	test	rdx, rdx
	jnz	.Lwritestr_out
	test	rdi, rdi
	jz	.Lwritestr_done		/* no text at all: nothing to write, CF = 0 */
	/* Length 0: count the bytes before the zero byte. */
	lea	rdx, [rdi - 1]
1:	inc	rdx
	cmp	byte ptr [rdx], 0
	jne	1b
	sub	rdx, rdi

.Lwritestr_out:
	mov	rsi, rdi		/* write(STDOUT, text, length) */
.Lwritestr_again:
	mov	edi, STDOUT
	mov	eax, SYS_write
	kernel_call
	cmp	rax, rdx
	je	.Lwritestr_done		/* the usual case: all of it, CF = 0 */
	cmp	rax, -EINTR
	je	.Lwritestr_again	/* interrupted before any byte: retry */
	cmp	rax, -EAGAIN
	jne	1f
	wait_ready STDOUT, POLLOUT	/* non-blocking and full: wait for room */
	test	eax, eax
	jns	.Lwritestr_again	/* (a time-out or a failed poll: below) */
1:	test	rax, rax
	jle	.Lwritestr_lost		/* an error, or no progress: give up */
	add	rsi, rax		/* short write: carry on with the rest */
	sub	rdx, rax
	jmp	.Lwritestr_again
.Lwritestr_lost:
	stc
.Lwritestr_done:
	restore	rax, rdx, rsi, rdi
	ret
END(__writestr)

	cet_property_note
