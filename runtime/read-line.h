/*
 * read_line: the line reader of __readint (integer.S) and __readdec
 * (decimal.S), a routine body kept as a macro.
 *
 * Both readers take a line of standard input the same way, and only the
 * conversion that follows differs. As a routine of its own, the reader
 * would be a global symbol of one module that the other must import; as a
 * macro it is expanded once in each reader, which saves the registers it
 * changes and leaves LINE_AREA bytes at rsp for the line.
 */
#ifndef BAREIO_READ_LINE_H
#define BAREIO_READ_LINE_H

#include "bareio-asm.h"

/*
 * One line of standard input, for __readint and __readdec: the bytes up to
 * and including the first newline, at most LINE_CAPACITY of them, or what
 * is left before end of input; from a socket of messages (datagrams,
 * sequenced packets), one message, whose first newline ends the line.
 * Whatever follows stays in the input, and nothing is remembered, so the
 * next call (of any routine, or of another program reading the same
 * descriptor) starts right after the line.
 *
 * In:      rsp -> LINE_AREA bytes of scratch
 * Out:     the line's text at rsp, its newline (if read) replaced by a zero
 *          byte, or a zero byte after it; empty at end of input. A read
 *          error, or a failed wait for input, ends the line where it
 *          stands: empty when the first read fails.
 * Changes: rax, rcx, rdx, rsi, rdi, r8, r10, r11, flags
 *
 * Every byte comes through __readstr, in as few reads as the kind of input
 * allows without taking more than the line:
 *	p = lseek(STDIN, 0, SEEK_CUR);
 *	if (p >= 0)			// a file: one read, then hand back
 *		n = 20;			// what follows the line
 *	else if (getsockopt(STDIN, SOL_SOCKET, SO_TYPE) is a type of messages)
 *		n = 20;			// one read takes one message, whole
 *	else				// a pipe, terminal or stream socket:
 *		n = 1;			// byte by byte
 *	for (end = area; ; ) {
 *		r = __readstr(end, n);	// EINTR: again; EAGAIN: poll, again
 *		if (r <= 0) break;	// newline (n = 1), end, or an error
 *		end += r;
 *		if (n != 1 || end == area + 20) break;
 *	}
 *	if (n != 1 && (nl = first newline in [area, end))) {
 *		end = nl;
 *		if (p >= 0) lseek(STDIN, p + (nl + 1 - area), SEEK_SET);
 *	}
 *	*end = 0;
 */
#define LINE_CAPACITY	20
#define LINE_AREA	24	/* the line and its zero byte */

.macro read_line
	xor	esi, esi		/* lseek(STDIN, 0, SEEK_CUR) */
	mov	edx, SEEK_CUR
	set_const edi, STDIN
	mov	eax, SYS_lseek
	kernel_call
	mov	rcx, rax		/* p: >= 0 for a file */
	test	rax, rax
	jns	1f
	mov	r10, rsp		/* getsockopt(STDIN, SOL_SOCKET, SO_TYPE, */
	push	4			/*            area, &4) */
	.cfi_adjust_cfa_offset 8
	mov	r8, rsp
	mov	esi, SOL_SOCKET
	mov	edx, SO_TYPE
	mov	eax, SYS_getsockopt
	kernel_call
	pop	rsi			/* drop the size */
	.cfi_adjust_cfa_offset -8
	mov	esi, 1			/* a stream: byte by byte */
	test	eax, eax
	jnz	2f			/* no socket at all */
	cmp	dword ptr [rsp], SOCK_STREAM
	je	2f
1:	mov	esi, LINE_CAPACITY	/* a file, or a message: one read */
2:	mov	rdi, rsp		/* end of the text so far */
.Lline_next\@:
	call	__readstr		/* rax: a count up to 20 or -errno, */
	cmp	eax, -EINTR		/* so its low half decides */
	je	.Lline_next\@
	cmp	eax, -EAGAIN
	jne	2f
	wait_ready STDIN, POLLIN
	test	eax, eax
	jns	.Lline_next\@		/* ready, or so poll says: again */
2:	test	eax, eax
	jle	.Lline_end\@		/* a newline (byte by byte), end, error */
	add	rdi, rax
	cmp	esi, 1
	jne	.Lline_end\@		/* the one read of a file or a message */
	lea	rax, [rsp + LINE_CAPACITY]
	cmp	rdi, rax
	jb	.Lline_next\@
.Lline_end\@:
	cmp	esi, 1
	je	.Lline_done\@		/* a stream gave no more than the line */
	mov	rax, rsp		/* one read: find the first newline */
3:	cmp	rax, rdi
	jae	.Lline_done\@		/* none: the read was the line */
	inc	rax
	cmp	byte ptr [rax - 1], NEWLINE
	jne	3b
	mov	byte ptr [rax - 1], 0	/* the line ends at its newline */
	test	rcx, rcx
	js	.Lline_return\@		/* a message: the rest went with it */
	lea	rsi, [rcx + rax]	/* a file: the input resumes right after */
	sub	rsi, rsp
	set_const edx, SEEK_SET		/* lseek(STDIN, p + line, SEEK_SET) */
	set_const edi, STDIN
	mov	eax, SYS_lseek
	kernel_call
	jmp	.Lline_return\@
.Lline_done\@:
	mov	byte ptr [rdi], 0
.Lline_return\@:
.endm

#endif
