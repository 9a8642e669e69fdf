/*
 * Directive macros shared by the bareio run-time modules.
 *
 * Every module is GNU as in Intel syntax, run through the C preprocessor.
 * This file gives it the system-call numbers and the constants it names,
 * the routine brackets that emit symbol type, size and unwind information,
 * the pairs that save and restore registers with the unwind information in
 * step with the stack, the one wrapper for the syscall instruction, the
 * status a routine reports in its flags, and the line reader's interface
 * (startup.S holds the reader; integer.S and decimal.S call it).
 */
#ifndef BAREIO_ASM_H
#define BAREIO_ASM_H

	.intel_syntax noprefix

/* Linux x86-64 system calls, their constants, and the three descriptors. */
#define SYS_read	0
#define SYS_write	1
#define SYS_fstat	5
#define SYS_poll	7
#define SYS_lseek	8
#define SYS_ioctl	16
#define SYS_recvfrom	45
#define SYS_getsockopt	55
#define SYS_exit	60
#define SYS_fcntl	72
#define STDIN		0
#define STDOUT		1
#define STDERR		2
#define EINTR		4
#define EAGAIN		11
#define EINVAL		22
#define EOPNOTSUPP	95
#define SEEK_CUR	1
#define F_GETFL		3
#define O_NONBLOCK	0x800
#define POLLIN		1
#define POLLOUT		4
#define POLLFD_EVENTS	4	/* struct pollfd { int fd; short events, revents; } */
#define SOL_SOCKET	1
#define SO_TYPE		3
#define SO_PEEK_OFF	42
#define SOCK_STREAM	1
#define MSG_PEEK	2
#define TCGETS		0x5401
#define TERMIOS_LFLAG	12	/* struct termios: its c_lflag, */
#define ICANON		2	/* and the canonical-mode bit in it */
#define STAT_SIZE	144	/* struct stat */
#define STAT_MODE	24	/* its st_mode, a 32-bit field */
#define STAT_RDEV	40	/* its st_rdev, the device a special file is */
#define S_IFMT		0xF000	/* the kind of file, in st_mode */
#define S_IFSOCK	0xC000
#define S_IFREG		0x8000
#define S_IFBLK		0x6000
#define S_IFCHR		0x2000
#define PTMX_RDEV	0x502	/* /dev/ptmx, device 5:2: a pty's master side */
#define NEWLINE		10
#define CARRIAGE_RETURN	13

/* The SSE control and status register's value at process start: round to
   nearest, every exception masked, no flush to zero, no flags. */
#define MXCSR_DEFAULT	0x1F80
#define MXCSR_MASKS	0x1F80	/* the six exception masks */

/*
 * ENTRY/END bracket an exported routine, LOCAL/END a module-private one,
 * INTERNAL/END one that the other modules call but a program does not see
 * (a global of hidden visibility). An exported routine starts with
 * endbr64, so that an indirect call may reach it in a program that
 * enforces indirect-branch tracking (a no-op elsewhere); the others are
 * only called directly. A routine starts where the one before it ends,
 * with no padding to an alignment boundary: each is bound by its system
 * calls, not by how it is fetched, and the three modules keep their code
 * within 2300 bytes.
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

#define INTERNAL(name)			\
	.text;				\
	.globl name;			\
	.hidden name;			\
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
 * A constant from -128 to 127 into a 64-bit register in three bytes (push
 * imm8, pop) instead of five. Only for what runs once a call or less (the
 * probe of what standard input is, a seek back, a wait), never in a loop
 * over bytes: it keeps the three modules within their 2300 bytes, where a
 * stack access beside a system call costs nothing that shows.
 */
.macro set_small reg, value
	push	\value
	.cfi_adjust_cfa_offset 8
	pop	\reg
	.cfi_adjust_cfa_offset -8
.endm

/* Scratch space on the stack, and its release. The release leaves the
   flags alone: a routine's status is in them before it. */
.macro reserve bytes
	sub	rsp, \bytes
	.cfi_adjust_cfa_offset \bytes
.endm

.macro release bytes
	lea	rsp, [rsp + \bytes]
	.cfi_adjust_cfa_offset -(\bytes)
.endm

/*
 * The status a routine reports in its carry and overflow flags, kept as a
 * byte until it returns: STATUS_DONE, all it was asked; STATUS_PART, only
 * part of it (the bytes stored are not a whole line, the text is not one
 * number that fits); STATUS_NONE, nothing (no input was taken, no such
 * argument). "and s, STATUS_PART" marks a status as part, and keeps
 * nothing as nothing. "cmp s, STATUS_FLAGS" sets the flags from it and
 * keeps it: 0xC0 - 1 neither borrows nor overflows; 0x80 - 1 overflows
 * (OF = 1: -128 - 1 is no signed byte); 0 - 1 borrows (CF = 1).
 */
#define STATUS_DONE	0xC0
#define STATUS_PART	0x80
#define STATUS_NONE	0
#define STATUS_FLAGS	1

/* What __takeline (startup.S) does with a line longer than its buffer, in
   dl: leave the rest in the input, for __readline; or take the rest and
   drop it, for the number readers, which read the first NUMBER_CAPACITY
   bytes of a line into NUMBER_AREA bytes of their stack. */
#define LINE_TEXT	0
#define LINE_NUMBER	1
#define NUMBER_CAPACITY	64
#define NUMBER_AREA	72	/* the text, its zero byte, and to 8 bytes */

/*
 * The way every routine that returns enters the kernel (only __start's
 * exit, which never returns, makes a bare syscall). The syscall instruction
 * overwrites rcx and r11; the calling convention lets r11 change but not
 * rcx, so rcx is saved around it here, once for the whole library.
 * In: rax = number, rdi, rsi, rdx, r10, r8, r9 = arguments. Out: rax = result.
 */
.macro kernel_call
	push_cfi rcx
	syscall
	pop_cfi rcx
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
