/*
 * Test trampolines for the run-time's register contract.
 *
 * bareio_checked_call(routine, in, out, stack) loads every register but
 * rsp from *in (rdi and rsi carrying the arguments, xmm0 a decimal), the
 * status flags and DF from in->rflags, calls routine with rsp = stack, on
 * a stack its caller has laid out, and stores every register into *out:
 * gpr[7] becomes the drift of rsp across the call (0 when the routine is
 * balanced), rflags the flags after it. The word at stack holds the way
 * back during the call, and 0 after it while the routine leaves it alone.
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
 *
 * Unwinding: bareio_checked_call describes its frame throughout, so a
 * debugger stopped in the routine under test shows the test that called
 * it. The start-up block of bareio_enter and bareio_adopt holds no way
 * back: while on it, their frame is the outermost one, as in a program.
 */
#include "bareio-asm.h"
#include "registers.h"

#define GPR(n)	REGS_GPR(n)
#define XMM(n)	REGS_XMM(n)
/* The general registers in the order of gpr[]. */
#define GPRS	rax, rbx, rcx, rdx, rsi, rdi, rbp, rsp, r8, r9, r10, r11, r12, r13, r14, r15

/* The System V callee-saved registers, kept by the routines that leave
   the caller's stack. */
#define CALLEE_SAVED	rbp, rbx, r12, r13, r14, r15

/*
 * While on the stack it makes for the routine, bareio_checked_call's
 * frame is found through the word at rsp + \offset, which holds rsp as it
 * was on entry, right below the CFA: CFA = [rsp + offset] + 8. In DWARF:
 * DW_CFA_def_cfa_expression, 5 bytes: DW_OP_breg7 (rsp) offset,
 * DW_OP_deref, DW_OP_plus_uconst 8. offset < 64 (one byte of SLEB128).
 */
.macro cfa_through_word_at offset
	.cfi_escape 0x0f, 5, 0x77, \offset, 0x06, 0x23, 8
.endm

	.bss
	.p2align 3
routine:	.quad 0
out_ptr:	.quad 0
saved_rsp:	.quad 0
call_rsp:	.quad 0
way_back:	.quad 0
rax_out:	.quad 0
adopter_rsp:	.quad 0

ENTRY(bareio_checked_call)
	mov	r11, rsp		/* rsp on entry, for the unwinder */
	save	CALLEE_SAVED
	mov	qword ptr [rip + routine], rdi
	mov	qword ptr [rip + out_ptr], rdx
	mov	qword ptr [rip + saved_rsp], rsp
	.cfi_remember_state
	mov	rbp, rsp		/* nothing is stored below rsp: switch, */
	.cfi_def_cfa_register rbp
	mov	rsp, rcx
	mov	qword ptr [rsp], r11	/* then leave the way back, for the unwinder */
	cfa_through_word_at 0
	mov	qword ptr [rip + way_back], r11
	mov	qword ptr [rip + call_rsp], rsp

	pushfq				/* the flags to enter with: below rsp, */
	cfa_through_word_at 8		/* where the return address goes next */
	pop	rax
	cfa_through_word_at 0
	and	rax, ~REGS_ENTRY_FLAGS
	or	rax, qword ptr [rsi + REGS_RFLAGS]
	push	rax
	cfa_through_word_at 8
	popfq				/* (no instruction below changes them) */
	cfa_through_word_at 0
	.irp n, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
	movdqu	xmm\n, xmmword ptr [rsi + XMM(\n)]
	.endr
	.set	n, 0			/* every one but rsp, and rsi last */
	.irp	reg, GPRS
	.if	n != 4 && n != 7
	mov	\reg, qword ptr [rsi + GPR(n)]
	.endif
	.set	n, n + 1
	.endr
	mov	rsi, qword ptr [rsi + GPR(4)]

	call	qword ptr [rip + routine]

	mov	qword ptr [rip + rax_out], rax
	pushfq				/* where the return address was: no deeper */
	cfa_through_word_at 8
	cld				/* (the routine may have been entered with DF) */
	mov	rax, qword ptr [rip + out_ptr]
	pop	qword ptr [rax + REGS_RFLAGS]
	cfa_through_word_at 0
	.set	n, 0			/* every one but rax and rsp, */
	.irp	reg, GPRS
	.if	n != 0 && n != 7
	mov	qword ptr [rax + GPR(n)], \reg
	.endif
	.set	n, n + 1
	.endr
	mov	rbx, qword ptr [rip + rax_out]	/* then those */
	mov	qword ptr [rax + GPR(0)], rbx
	mov	rbx, rsp
	sub	rbx, qword ptr [rip + call_rsp]
	mov	qword ptr [rax + GPR(7)], rbx
	.irp n, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15
	movdqu	xmmword ptr [rax + XMM(\n)], xmm\n
	.endr

	mov	rax, qword ptr [rip + call_rsp]
	mov	rbx, qword ptr [rip + way_back]
	xor	qword ptr [rax], rbx	/* 0 when the routine left it */
	mov	rsp, qword ptr [rip + saved_rsp]
	.cfi_restore_state
	restore	CALLEE_SAVED
	ret
END(bareio_checked_call)

	.weak	__start			/* (a test of debug.o alone has none) */

ENTRY(bareio_enter)
	mov	rsp, rdi		/* rsp -> argc, as at process entry */
	.cfi_undefined rip		/* no way back from here */
	mov	rdi, rsi
	call	__start
	ud2
END(bareio_enter)

ENTRY(bareio_adopt)
	save	CALLEE_SAVED
	mov	qword ptr [rip + adopter_rsp], rsp
	.cfi_remember_state
	mov	rsp, rdi		/* rsp -> argc, as at process entry */
	.cfi_undefined rip		/* the way back is in adopter_rsp alone */
	lea	rdi, [rip + .Ladopted]
	call	__start
.Ladopted:				/* __start's main: back to our caller */
	mov	rsp, qword ptr [rip + adopter_rsp]
	.cfi_restore_state
	restore	CALLEE_SAVED
	ret
END(bareio_adopt)

/* Each routine's address in the order of contract.h's Routine; 0 for one
   of a module that the test does not link. */
	.section .data.rel.ro, "aw"
	.p2align 3
	.globl	bareio_routines
bareio_routines:
	.irp name, __startarg, __readstr, __readline, __writestr, __argvint, __readint, __writeint, __writechr, __argvdec, __readdec, __writedec, __dumpregs
	.weak	\name
	.quad	\name
	.endr

/* A routine of the harness's own that keeps every register but changes
   the word above its return address: the contract check must name it. */
ENTRY(bareio_scribble)
	not	qword ptr [rsp + 8]
	clc				/* as a writer that lost no byte */
	ret
END(bareio_scribble)
