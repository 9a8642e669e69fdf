/*
 * Test trampolines for the run-time's register contract.
 *
 * bareio_checked_call(routine, in, out, misaligned) loads every register
 * but rsp from *in (rdi and rsi carrying the arguments, xmm0 a decimal),
 * calls routine with rsp 0 mod 16 (misaligned = 0) or 8 mod 16 (1), and
 * stores every register into *out: gpr[7] becomes the drift of rsp across
 * the call (0 when the routine is balanced), rflags the flags after it.
 * Single-threaded: the pointers it must keep live across the call, when no
 * register is free, sit in .bss.
 *
 * bareio_enter(block, main) switches to a hand-made start-up block and
 * calls __start with main, exactly as a program's entry code does.
 *
 * bareio_adopt(block) does the same in-process and comes back: its main
 * returns straight to bareio_adopt's caller, so __start has recorded the
 * block but never exits. The argument routines then read the block, whose
 * entries the caller may change at any time. The block needs 16 writable
 * bytes below it for the two return addresses pushed there.
 */
	.intel_syntax noprefix

#define GPR(n)	(8 * (n))
#define XMM(n)	(128 + 16 * (n))
#define RFLAGS	384

/* The System V callee-saved registers, kept by the routines that leave
   the caller's stack. */
.macro push_callee_saved
	push	rbp
	push	rbx
	push	r12
	push	r13
	push	r14
	push	r15
.endm

.macro pop_callee_saved
	pop	r15
	pop	r14
	pop	r13
	pop	r12
	pop	rbx
	pop	rbp
.endm

	.bss
	.p2align 3
routine:	.quad 0
out_ptr:	.quad 0
saved_rsp:	.quad 0
call_rsp:	.quad 0
adopter_rsp:	.quad 0

	.text
	.globl	bareio_checked_call
	.type	bareio_checked_call, @function
bareio_checked_call:
	push_callee_saved
	mov	qword ptr [rip + routine], rdi
	mov	qword ptr [rip + out_ptr], rdx
	mov	qword ptr [rip + saved_rsp], rsp
	and	rsp, -16
	sub	rsp, 256		/* room between us and the routine */
	shl	rcx, 3
	sub	rsp, rcx		/* 8 when misaligned */
	mov	qword ptr [rip + call_rsp], rsp

	movdqu	xmm0, xmmword ptr [rsi + XMM(0)]
	movdqu	xmm1, xmmword ptr [rsi + XMM(1)]
	movdqu	xmm2, xmmword ptr [rsi + XMM(2)]
	movdqu	xmm3, xmmword ptr [rsi + XMM(3)]
	movdqu	xmm4, xmmword ptr [rsi + XMM(4)]
	movdqu	xmm5, xmmword ptr [rsi + XMM(5)]
	movdqu	xmm6, xmmword ptr [rsi + XMM(6)]
	movdqu	xmm7, xmmword ptr [rsi + XMM(7)]
	movdqu	xmm8, xmmword ptr [rsi + XMM(8)]
	movdqu	xmm9, xmmword ptr [rsi + XMM(9)]
	movdqu	xmm10, xmmword ptr [rsi + XMM(10)]
	movdqu	xmm11, xmmword ptr [rsi + XMM(11)]
	movdqu	xmm12, xmmword ptr [rsi + XMM(12)]
	movdqu	xmm13, xmmword ptr [rsi + XMM(13)]
	movdqu	xmm14, xmmword ptr [rsi + XMM(14)]
	movdqu	xmm15, xmmword ptr [rsi + XMM(15)]
	mov	rax, qword ptr [rsi + GPR(0)]
	mov	rbx, qword ptr [rsi + GPR(1)]
	mov	rcx, qword ptr [rsi + GPR(2)]
	mov	rdx, qword ptr [rsi + GPR(3)]
	mov	rdi, qword ptr [rsi + GPR(5)]
	mov	rbp, qword ptr [rsi + GPR(6)]
	mov	r8, qword ptr [rsi + GPR(8)]
	mov	r9, qword ptr [rsi + GPR(9)]
	mov	r10, qword ptr [rsi + GPR(10)]
	mov	r11, qword ptr [rsi + GPR(11)]
	mov	r12, qword ptr [rsi + GPR(12)]
	mov	r13, qword ptr [rsi + GPR(13)]
	mov	r14, qword ptr [rsi + GPR(14)]
	mov	r15, qword ptr [rsi + GPR(15)]
	mov	rsi, qword ptr [rsi + GPR(4)]
	cld

	call	qword ptr [rip + routine]

	pushfq
	push	rax
	mov	rax, qword ptr [rip + out_ptr]
	pop	qword ptr [rax + GPR(0)]
	pop	qword ptr [rax + RFLAGS]
	mov	qword ptr [rax + GPR(1)], rbx
	mov	qword ptr [rax + GPR(2)], rcx
	mov	qword ptr [rax + GPR(3)], rdx
	mov	qword ptr [rax + GPR(4)], rsi
	mov	qword ptr [rax + GPR(5)], rdi
	mov	qword ptr [rax + GPR(6)], rbp
	mov	qword ptr [rax + GPR(8)], r8
	mov	qword ptr [rax + GPR(9)], r9
	mov	qword ptr [rax + GPR(10)], r10
	mov	qword ptr [rax + GPR(11)], r11
	mov	qword ptr [rax + GPR(12)], r12
	mov	qword ptr [rax + GPR(13)], r13
	mov	qword ptr [rax + GPR(14)], r14
	mov	qword ptr [rax + GPR(15)], r15
	mov	rbx, rsp
	sub	rbx, qword ptr [rip + call_rsp]
	mov	qword ptr [rax + GPR(7)], rbx
	movdqu	xmmword ptr [rax + XMM(0)], xmm0
	movdqu	xmmword ptr [rax + XMM(1)], xmm1
	movdqu	xmmword ptr [rax + XMM(2)], xmm2
	movdqu	xmmword ptr [rax + XMM(3)], xmm3
	movdqu	xmmword ptr [rax + XMM(4)], xmm4
	movdqu	xmmword ptr [rax + XMM(5)], xmm5
	movdqu	xmmword ptr [rax + XMM(6)], xmm6
	movdqu	xmmword ptr [rax + XMM(7)], xmm7
	movdqu	xmmword ptr [rax + XMM(8)], xmm8
	movdqu	xmmword ptr [rax + XMM(9)], xmm9
	movdqu	xmmword ptr [rax + XMM(10)], xmm10
	movdqu	xmmword ptr [rax + XMM(11)], xmm11
	movdqu	xmmword ptr [rax + XMM(12)], xmm12
	movdqu	xmmword ptr [rax + XMM(13)], xmm13
	movdqu	xmmword ptr [rax + XMM(14)], xmm14
	movdqu	xmmword ptr [rax + XMM(15)], xmm15

	mov	rsp, qword ptr [rip + saved_rsp]
	pop_callee_saved
	ret
	.size	bareio_checked_call, . - bareio_checked_call

	.globl	bareio_enter
	.type	bareio_enter, @function
bareio_enter:
	mov	rsp, rdi		/* rsp -> argc, as at process entry */
	mov	rdi, rsi
	call	__start
	ud2
	.size	bareio_enter, . - bareio_enter

	.globl	bareio_adopt
	.type	bareio_adopt, @function
bareio_adopt:
	push_callee_saved
	mov	qword ptr [rip + adopter_rsp], rsp
	mov	rsp, rdi		/* rsp -> argc, as at process entry */
	lea	rdi, [rip + .Ladopted]
	call	__start
.Ladopted:				/* __start's main: back to our caller */
	mov	rsp, qword ptr [rip + adopter_rsp]
	pop_callee_saved
	ret
	.size	bareio_adopt, . - bareio_adopt

	.section .note.GNU-stack, "", @progbits
