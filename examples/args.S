/*
 * args: writes each command-line argument on a line of its own and ends
 * with the number of arguments as its exit status. Needs startup.o only.
 * The GNU as twin of args.asm; the run-time keeps every register but the
 * result and r11, so the loop keeps its state in rdi and rbx across calls.
 *
 *   as -o args.o args.S            (or: cc -c args.S)
 *   ld -o args args.o $(pkg-config --libs bareio)
 *   ./args one two; echo $?        # one, two, then 2
 */
	.intel_syntax noprefix
	.text
	.globl	_start
_start:	lea	rdi, [rip + main]	/* rsp is as the kernel left it */
	call	__start			/* runs main, exits with its rax */

main:	push	rbx
	mov	rdi, -1
	call	__startarg		/* rax = number of arguments */
	mov	rbx, rax
	xor	edi, edi		/* index of the next argument */
1:	cmp	rdi, rbx
	jge	2f
	call	__startarg		/* rax = its zero-terminated text */
	push	rdi
	mov	rdi, rax
	xor	esi, esi		/* length 0: up to the zero byte */
	call	__writestr
	lea	rdi, [rip + newline]
	mov	esi, 1
	call	__writestr
	pop	rdi
	inc	rdi
	jmp	1b
2:	mov	rax, rbx		/* the exit status */
	pop	rbx
	ret

	.section .rodata
newline: .byte	10

	.section .note.GNU-stack, "", @progbits
