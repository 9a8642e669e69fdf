/*
 * Directive macros shared by the bareio run-time modules.
 *
 * Every module is GNU as in Intel syntax, run through the C preprocessor.
 * This file gives it the system-call numbers and descriptors it names, the
 * routine brackets that emit symbol type, size and unwind information, the
 * push/pop pair that keeps the unwind information in step with the stack,
 * and the one wrapper for the syscall instruction.
 */
#ifndef BAREIO_ASM_H
#define BAREIO_ASM_H

	.intel_syntax noprefix

/* Linux x86-64 system calls and the two descriptors the run-time uses. */
#define SYS_read	0
#define SYS_write	1
#define SYS_exit	60
#define STDIN		0
#define STDOUT		1
#define EINTR		4

/* ENTRY/END bracket an exported routine, LOCAL/END a module-private one. */
#define ENTRY(name)			\
	.text;				\
	.globl name;			\
	.type name, @function;		\
	.p2align 4;			\
name:					\
	.cfi_startproc

#define LOCAL(name)			\
	.text;				\
	.type name, @function;		\
	.p2align 4;			\
name:					\
	.cfi_startproc

#define END(name)			\
	.cfi_endproc;			\
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

/* No module needs an executable stack. */
	.section .note.GNU-stack, "", @progbits

#endif
