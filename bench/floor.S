/*
 * The floors the run-time is measured against: routines that make only the
 * system call a run-time routine makes, with its call and return.
 *
 *   floor_write(text, length)     one write(1, text, length)
 *   floor_read(buffer, capacity)  one read(0, buffer, capacity)
 */
	.intel_syntax noprefix
	.text

	.globl	floor_write
	.type	floor_write, @function
	.p2align 4
floor_write:
	mov	rdx, rsi
	mov	rsi, rdi
	mov	edi, 1
	mov	eax, 1
	syscall
	ret
	.size	floor_write, . - floor_write

	.globl	floor_read
	.type	floor_read, @function
	.p2align 4
floor_read:
	mov	rdx, rsi
	mov	rsi, rdi
	xor	edi, edi
	xor	eax, eax
	syscall
	ret
	.size	floor_read, . - floor_read

	.section .note.GNU-stack, "", @progbits
