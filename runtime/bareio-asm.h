/*
 * Directive macros shared by the bareio run-time modules.
 *
 * Every module is GNU as in Intel syntax, run through the C preprocessor.
 * This file gives it the system-call numbers and descriptors it names, the
 * routine brackets that emit symbol type, size and unwind information, the
 * pairs that save and restore general and vector registers with the unwind
 * information in step with the stack, the load of a small constant, the one
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
#define SYS_fstat	5
#define SYS_poll	7
#define SYS_lseek	8
#define SYS_recvfrom	45
#define SYS_getsockopt	55
#define SYS_exit	60
#define SYS_fcntl	72
#define STDIN		0
#define STDOUT		1
#define EINTR		4
#define EAGAIN		11
#define SEEK_CUR	1
#define F_GETFL		3
#define O_NONBLOCK	0x800
#define POLLIN		1
#define POLLOUT		4
#define POLLFD_EVENTS	4	/* struct pollfd { int fd; short events, revents; } */
#define SOL_SOCKET	1
#define SO_TYPE		3
#define SOCK_STREAM	1
#define MSG_PEEK	2
#define STAT_SIZE	144	/* struct stat */
#define STAT_MODE	24	/* its st_mode, a 32-bit field */
#define S_IFMT		0xF000	/* the kind of file, in st_mode */
#define S_IFSOCK	0xC000
#define S_IFREG		0x8000
#define S_IFBLK		0x6000
#define NEWLINE		10

/* The SSE control and status register's value at process start: round to
   nearest, every exception masked, no flush to zero, no flags. */
#define MXCSR_DEFAULT	0x1F80
#define MXCSR_MASKS	0x1F80	/* the six exception masks */

/*
 * ENTRY/END bracket an exported routine, LOCAL/END a module-private one.
 * An exported routine starts with endbr64, so that an indirect call may
 * reach it in a program that enforces indirect-branch tracking (a no-op
 * elsewhere); the module-private ones are only called directly. A
 * routine starts where the one before it ends, with no padding to an
 * alignment boundary: each is bound by its system calls, not by how it is
 * fetched, and the three modules keep their code within 2400 bytes.
 */
#define ENTRY(name)			\
	.text;				\
	.globl name;			\
	.type name, @function;		\
name:					\
	.cfi_startproc;			\
	endbr64

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

/*
 * A constant from -128 to 127 into a 64-bit register in three bytes (push imm8,
 * pop) instead of five: for the paths that run seldom (waits, probes of
 * sockets, seeks), where the three modules' size counts for more than a
 * stack access before a system call.
 */
.macro set_small reg, value
	push	\value
	.cfi_adjust_cfa_offset 8
	pop	\reg
	.cfi_adjust_cfa_offset -8
.endm

/* Scratch space on the stack, and its release. The release leaves the
   flags alone: a routine's carry flag, its status, is set before it. */
.macro reserve bytes
	sub	rsp, \bytes
	.cfi_adjust_cfa_offset \bytes
.endm

.macro release bytes
	lea	rsp, [rsp + \bytes]
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
 * POLLOUT), for a caller whose transfer would block. Only a descriptor in
 * non-blocking mode is waited for: from a blocking one, EAGAIN means that
 * a time-out of its own (a socket's SO_RCVTIMEO or SO_SNDTIMEO) ran out,
 * and the caller ends its transfer. An interrupted poll is made again.
 * Out:     rax = not negative when the transfer is worth another try;
 *          negative when the descriptor blocks, or when poll itself
 *          failed (as it does with RLIMIT_NOFILE at 0): the caller takes
 *          that as a failed transfer, so the wait never turns into a busy
 *          loop
 * Changes: rax, r11, flags
 */
.macro wait_ready fd, events
	save	rdi, rsi, rdx
	.if \fd
	set_small rdi, \fd
	.else
	xor	edi, edi
	.endif
	set_small rsi, F_GETFL		/* fcntl(fd, F_GETFL) */
	set_small rax, SYS_fcntl
	kernel_call
	set_small rdx, -1		/* the answer when it blocks; no time limit */
	test	ah, O_NONBLOCK >> 8
	jz	.Lwait_done\@
	push	rdi			/* a pollfd: fd, and 0 for the rest */
	.cfi_adjust_cfa_offset 8
	mov	byte ptr [rsp + POLLFD_EVENTS], \events
	mov	rdi, rsp
	set_small rsi, 1		/* one descriptor, no time limit */
.Lpoll\@:
	set_small rax, SYS_poll
	kernel_call
	cmp	eax, -EINTR		/* poll's result is an int */
	je	.Lpoll\@
	mov	rdx, rax
	pop	rdi			/* drop the pollfd; rdi is restored next */
	.cfi_adjust_cfa_offset -8
.Lwait_done\@:
	mov	rax, rdx
	restore	rdi, rsi, rdx
.endm

/*
 * The GNU property note of a module: its code is fit for indirect-branch
 * tracking (every exported routine starts with endbr64) and for a shadow
 * stack (every return goes back to its call), so that a program built
 * with -fcf-protection keeps both markings when it links the module.
 * Each module emits it once; the test harness, which returns past
 * __start, does not.
 */
#define NT_GNU_PROPERTY_TYPE_0			5
#define GNU_PROPERTY_X86_FEATURE_1_AND		0xc0000002
#define GNU_PROPERTY_X86_FEATURE_1_IBT		1
#define GNU_PROPERTY_X86_FEATURE_1_SHSTK	2

.macro cet_property_note
	.pushsection .note.gnu.property, "a", @note
	.p2align 3
	.long	4			/* the name's size: "GNU" and its 0 */
	.long	16			/* the property's */
	.long	NT_GNU_PROPERTY_TYPE_0
	.asciz	"GNU"
	.long	GNU_PROPERTY_X86_FEATURE_1_AND
	.long	4
	.long	GNU_PROPERTY_X86_FEATURE_1_IBT | GNU_PROPERTY_X86_FEATURE_1_SHSTK
	.p2align 3
	.popsection
.endm

/* No module needs an executable stack. */
	.pushsection .note.GNU-stack, "", @progbits
	.popsection

#endif
