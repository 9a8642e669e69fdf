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
 *          error, a failed wait for input or a blocking input's time-out
 *          ends the line where it stands: empty when nothing was taken.
 *          ecx = 0 when input was taken (an empty line is input), else -1
 * Changes: rax, rcx, rdx, rsi, rdi, r8, r10, r11, flags
 *
 * How the line is read depends on what the descriptor is, as fstat tells
 * (not on whether lseek answers, which some devices do without seeking),
 * in as few reads as the kind of input allows without keeping more than
 * the line:
 *	switch (kind of STDIN) {
 *	case regular file, block device: how = FILE;	// read, hand back the rest
 *	case socket: how = getsockopt(SO_TYPE) is a type of messages
 *		? MESSAGE		// one message is one line
 *		: PEEK;			// a stream, or a type it may not learn
 *	default: how = BYTES;		// a pipe, terminal, device: byte by byte
 *	}
 *	for (end = area; end < area + 20; ) {
 *		room = area + 20 - end;
 *		if (how == BYTES) room = 1;
 *		r = how == PEEK ? recv(end, room, MSG_PEEK) : read(end, room);
 *		n = bytes through the first newline of r, or r;
 *		if (how == PEEK)
 *			r = __readstr(end, n);	// takes them, newline uncounted
 *		else if (how == FILE && r > n)
 *			lseek(STDIN, -(r - n), SEEK_CUR);	// hands back the rest
 *		// (a message's rest went with it)
 *		// any failure: EINTR, again; EAGAIN, poll if non-blocking
 *		// and again; anything else (end, an error, a time-out): stop
 *		end += r (the newline uncounted);
 *		if (the newline came || how == MESSAGE) break;
 *	}
 *	*end = 0;
 */
#define LINE_CAPACITY	20
#define LINE_AREA	STAT_SIZE	/* fstat's buffer, then the line and
					   its zero byte */

/* How the line is read, in ecx. */
#define LINE_BYTES	0	/* read a byte at a time */
#define LINE_PEEK	1	/* peek, then take through the newline */
#define LINE_FILE	2	/* read, then hand back what follows */
#define LINE_MESSAGE	3	/* read one message: it is the line */

.macro read_line
	xor	edi, edi		/* fstat(STDIN, area) */
	mov	rsi, rsp
	mov	eax, SYS_fstat
	kernel_call
	xor	ecx, ecx		/* LINE_BYTES */
	test	eax, eax
	jnz	.Lline_probed\@		/* no answer: the read tells what is wrong */
	mov	edx, dword ptr [rsp + STAT_MODE]
	shr	edx, 12			/* the kind of file */
	cmp	dl, S_IFSOCK >> 12
	je	.Lline_socket\@
	cmp	dl, S_IFREG >> 12
	je	1f
	cmp	dl, S_IFBLK >> 12
	jne	.Lline_probed\@
1:	mov	cl, LINE_FILE
	jmp	.Lline_probed\@
.Lline_socket\@:
	mov	r10, rsp		/* getsockopt(STDIN, SOL_SOCKET, SO_TYPE, */
	push	4			/*            area, &4) */
	.cfi_adjust_cfa_offset 8
	mov	r8, rsp
	set_small rsi, SOL_SOCKET
	set_small rdx, SO_TYPE
	set_small rax, SYS_getsockopt
	kernel_call
	pop	rsi			/* drop the size */
	.cfi_adjust_cfa_offset -8
	inc	ecx			/* LINE_PEEK: a stream, or refused */
	test	eax, eax
	jnz	.Lline_probed\@
	cmp	dword ptr [rsp], SOCK_STREAM
	je	.Lline_probed\@
	mov	cl, LINE_MESSAGE
.Lline_probed\@:
	mov	rdi, rsp		/* end of the line so far */
.Lline_next\@:
	lea	rsi, [rsp + LINE_CAPACITY]
	sub	rsi, rdi		/* room left */
	jz	.Lline_end\@
	test	ecx, ecx
	jnz	1f
	lea	esi, [rcx + 1]		/* LINE_BYTES: 1 */
1:	mov	rdx, rsi		/* read(STDIN, end, room), or for a socket */
	mov	rsi, rdi		/* recvfrom(STDIN, end, room, MSG_PEEK, 0, 0) */
	xor	edi, edi
	set_small r10, MSG_PEEK
	xor	r8d, r8d
	xor	eax, eax		/* SYS_read */
	cmp	cl, LINE_PEEK
	jne	2f
	mov	al, SYS_recvfrom
2:	kernel_call
	mov	rdi, rsi
	test	rax, rax
	jle	.Lline_status\@		/* nothing there yet, end, or an error */
	xor	esi, esi		/* n: through the first newline, or all */
3:	inc	esi
	cmp	byte ptr [rdi + rsi - 1], NEWLINE
	je	4f
	cmp	esi, eax
	jb	3b
4:	cmp	cl, LINE_PEEK
	je	.Lline_read\@		/* peeked at: take those n */
	sub	rax, rsi		/* read: they are taken, and what follows */
	jz	5f			/* goes back: lseek(STDIN, -rest, SEEK_CUR) */
	test	cl, 1
	jnz	5f			/* (a message's rest went with it) */
	save	rsi, rdi		/* (a byte at a time, nothing follows) */
	neg	rax
	mov	rsi, rax
	xor	edi, edi
	set_small rdx, SEEK_CUR
	set_small rax, SYS_lseek
	kernel_call
	restore	rsi, rdi
5:	mov	eax, esi		/* their count, as __readstr gives it */
	cmp	byte ptr [rdi + rsi - 1], NEWLINE
	jne	.Lline_took\@
	dec	eax
	jmp	.Lline_took\@
.Lline_read\@:
	call	__readstr		/* CF = 0: it took bytes */
	jnc	.Lline_took\@
.Lline_status\@:			/* nothing taken: rax = 0, or -errno */
	cmp	eax, -EINTR		/* (for a count up to 20 or -errno, */
	je	.Lline_next\@		/* the low half decides) */
	cmp	eax, -EAGAIN
	jne	.Lline_stop\@
	wait_ready STDIN, POLLIN
	test	eax, eax
	jns	.Lline_next\@		/* non-blocking, and now ready: again */
.Lline_stop\@:				/* end, an error, a time-out: */
	cmp	rsp, rdi		/* no input at all if nothing came before: */
	cmc
	sbb	ecx, ecx		/* ecx = -1 */
	jmp	6f
.Lline_took\@:
	add	rdi, rax
	cmp	rax, rsi
	jb	.Lline_end\@		/* the line's newline came */
	cmp	cl, LINE_MESSAGE
	jne	.Lline_next\@		/* one message is one line */
.Lline_end\@:
	xor	ecx, ecx
6:	mov	byte ptr [rdi], 0
.endm

#endif
