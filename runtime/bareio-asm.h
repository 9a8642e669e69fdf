/*
 * Directive macros shared by the bareio run-time modules.
 *
 * Every module is GNU as in Intel syntax, run through the C preprocessor.
 * This file gives it the system-call numbers and descriptors it names, the
 * routine brackets that emit symbol type, size and unwind information, the
 * pairs that save and restore general and vector registers with the unwind
 * information in step with the stack, the load of a named constant, the one
 * wrapper for the syscall instruction, and the wait for a descriptor that
 * would block. The line reader of __readint and __readdec, a routine body
 * of its own, is in read-line.h.
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
#define POLLFD_EVENTS	4	/* struct pollfd { int fd; short events, revents; } */
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

/*
 * Vector registers saved and restored from one list, like save/restore,
 * with unaligned 16-byte moves (the routines take any stack alignment):
 * save_xmm reserves \scratch bytes at rsp for the routine's own use and a
 * slot above them for each register, in one step; restore_xmm, given the
 * same arguments, reloads the registers and releases it all.
 *	save_xmm 8, xmm1, xmm2	->  [rsp] 8 bytes, [rsp + 8] xmm1, [rsp + 24] xmm2
 */
.macro save_xmm scratch, regs:vararg
	xmm_room reserve, \scratch, \regs
	xmm_move_to_slots \scratch, \regs
.endm

.macro restore_xmm scratch, regs:vararg
	xmm_move_from_slots \scratch, \regs
	xmm_room release, \scratch, \regs
.endm

/* \op (reserve or release) \bytes and 16 more for each register. */
.macro xmm_room op, bytes, first, rest:vararg
	.ifnb \rest
	xmm_room \op, \bytes + 16, \rest
	.else
	\op	\bytes + 16
	.endif
.endm

.macro xmm_move_to_slots at, first, rest:vararg
	movdqu	xmmword ptr [rsp + \at], \first
	.ifnb \rest
	xmm_move_to_slots \at + 16, \rest
	.endif
.endm

.macro xmm_move_from_slots at, first, rest:vararg
	movdqu	\first, xmmword ptr [rsp + \at]
	.ifnb \rest
	xmm_move_from_slots \at + 16, \rest
	.endif
.endm

/* A named constant into a 32-bit register: xor for 0, mov for the rest. */
.macro set_const reg, value
	.if \value
	mov	\reg, \value
	.else
	xor	\reg, \reg
	.endif
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
 * The way every routine that returns enters the kernel (only __start's
 * exit, which never returns, makes a bare syscall). The syscall instruction
 * overwrites rcx and r11; the calling convention lets r11 change but not
 * rcx, so rcx is saved around it here, once for the whole library.
 * In: rax = number, rdi, rsi, rdx, r10, r8 = arguments. Out: rax = result.
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
	push	\fd			/* a pollfd: fd, and 0 for the rest */
	.cfi_adjust_cfa_offset 8
	mov	byte ptr [rsp + POLLFD_EVENTS], \events
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

/* No module needs an executable stack. */
	.section .note.GNU-stack, "", @progbits

#endif
