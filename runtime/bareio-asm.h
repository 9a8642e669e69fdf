/*
 * Directive macros shared by the bareio run-time modules.
 *
 * Every module is GNU as in Intel syntax, run through the C preprocessor.
 * This file gives it the system-call numbers and descriptors it names, the
 * routine brackets that emit symbol type, size and unwind information, the
 * push/pop pair that keeps the unwind information in step with the stack,
 * the one wrapper for the syscall instruction, the wait for a descriptor
 * that would block, and the line reader of __readint and __readdec.
 */
#ifndef BAREIO_ASM_H
#define BAREIO_ASM_H

	.intel_syntax noprefix

/* Linux x86-64 system calls, their constants, and the two descriptors. */
#define SYS_read	0
#define SYS_write	1
#define SYS_poll	7
#define SYS_lseek	8
#define SYS_getsockopt	55
#define SYS_exit	60
#define STDIN		0
#define STDOUT		1
#define EINTR		4
#define EAGAIN		11
#define SEEK_SET	0
#define SEEK_CUR	1
#define POLLIN		1
#define POLLOUT		4
#define SOL_SOCKET	1
#define SO_TYPE		3
#define SOCK_STREAM	1
#define NEWLINE		10

/*
 * ENTRY/END bracket an exported routine, LOCAL/END a module-private one.
 * A routine starts where the one before it ends, with no padding to an
 * alignment boundary: each is bound by its system calls, not by how it is
 * fetched, and the three modules keep their code within 2 KiB.
 */
#define ENTRY(name)			\
	.text;				\
	.globl name;			\
	.type name, @function;		\
name:					\
	.cfi_startproc

#define LOCAL(name)			\
	.text;				\
	.type name, @function;		\
name:					\
	.cfi_startproc

#define END(name)			\
	.cfi_endproc;			\
	.size name, . - name

/* OBJECT/END_OBJECT bracket a module-private constant, table or variable. */
#define OBJECT(name)			\
	.type name, @object;		\
name:

#define END_OBJECT(name)		\
	.size name, . - name

/* A general register onto and off the stack, with its unwind record. */
.macro push_cfi reg
	push	\reg
	.cfi_adjust_cfa_offset 8
	.cfi_rel_offset \reg, 0
.endm

.macro pop_cfi reg
	pop	\reg
	.cfi_adjust_cfa_offset -8
	.cfi_restore \reg
.endm

/*
 * Several registers saved and restored from one list: save pushes them in
 * the order given, restore pops them in the mirrored order, so the same
 * list written twice can never restore a register from another's slot.
 */
.macro save first, rest:vararg
	push_cfi \first
	.ifnb \rest
	save \rest
	.endif
.endm

.macro restore first, rest:vararg
	.ifnb \rest
	restore \rest
	.endif
	pop_cfi \first
.endm

/* Scratch space on the stack, and its release. */
.macro reserve bytes
	sub	rsp, \bytes
	.cfi_adjust_cfa_offset \bytes
.endm

.macro release bytes
	add	rsp, \bytes
	.cfi_adjust_cfa_offset -(\bytes)
.endm

/*
 * The only way the run-time enters the kernel. The syscall instruction
 * overwrites rcx and r11; the calling convention lets r11 change but not
 * rcx, so rcx is saved around it here, once for the whole library.
 * In: rax = number, rdi, rsi, rdx = arguments. Out: rax = result.
 */
.macro kernel_call
	push_cfi rcx
	syscall
	pop_cfi rcx
.endm

/*
 * Waits in poll until descriptor \fd is ready for \events (POLLIN or
 * POLLOUT), for a caller whose transfer would block. An interrupted poll is
 * made again at once.
 * Out:     rax = poll's result: not negative when the transfer is worth
 *          another try; a negative error code when poll itself failed (as
 *          it does with RLIMIT_NOFILE at 0), which the caller takes as a
 *          failed transfer, so the wait never turns into a busy loop
 * Changes: rax, r11, flags
 */
.macro wait_ready fd, events
	save	rdi, rsi, rdx
	push	\fd			/* struct pollfd { fd, events, revents } */
	.cfi_adjust_cfa_offset 8
	mov	byte ptr [rsp + 4], \events
	mov	rdi, rsp
	mov	esi, 1			/* one descriptor */
	or	edx, -1			/* no time limit */
.Lpoll\@:
	mov	eax, SYS_poll
	kernel_call
	cmp	eax, -EINTR		/* poll's result is an int */
	je	.Lpoll\@
	pop	rdi			/* drop the pollfd; rdi is restored next */
	.cfi_adjust_cfa_offset -8
	restore	rdi, rsi, rdx
.endm

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
	xor	edi, edi		/* STDIN */
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
	xor	edx, edx		/* lseek(STDIN, p + line, SEEK_SET) */
	xor	edi, edi
	mov	eax, SYS_lseek
	kernel_call
	jmp	.Lline_return\@
.Lline_done\@:
	mov	byte ptr [rdi], 0
.Lline_return\@:
.endm

/* No module needs an executable stack. */
	.section .note.GNU-stack, "", @progbits

#endif
