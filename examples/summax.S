/*
 * summax: summax.asm in GNU as (Intel syntax): reads integers, a line
 * each, until end of input, and writes their sum and their maximum. A read
 * that took no input at all sets the carry flag, so a line "0" is a number
 * like any other. Exits with 1 when its output could not be written.
 * Needs startup.o and integer.o.
 *
 *   as -o summax.o summax.S          (or: cc -c summax.S)
 *   ld -o summax summax.o $(pkg-config --libs bareio)
 *   printf '3\n0\n12\n5\n' | ./summax       # sum 20, max 12
 */
	.intel_syntax noprefix
	.text
	.globl	_start
_start:	lea	rdi, [rip + main]
	call	__start

main:	xor	ebx, ebx		/* the sum */
	movabs	rbp, 0x8000000000000000	/* the maximum so far: the least value */
	xor	r12d, r12d		/* how many numbers */
1:	call	__readint		/* rax = the line's value */
	jc	2f			/* CF: no input at all, the end */
	add	rbx, rax
	inc	r12
	cmp	rax, rbp
	cmovg	rbp, rax
	jmp	1b
2:	test	r12, r12
	cmovz	rbp, r12		/* no numbers: the maximum is 0 */
	lea	rdi, [rip + sum_text]
	xor	esi, esi
	call	__writestr
	mov	rdi, rbx
	call	__writeint
	lea	rdi, [rip + max_text]
	call	__writestr
	mov	rdi, rbp
	call	__writeint
	mov	edi, 10
	call	__writechr		/* CF: the newline was lost */
	sbb	eax, eax		/* (and so, most likely, all of it) */
	neg	eax			/* exit status 1 then, else 0 */
	ret

	.section .rodata
sum_text: .asciz "sum "
max_text: .asciz ", max "

	.section .note.GNU-stack, "", @progbits
