/*
 * bareio_adopt(block) - run __start in-process on a start-up block
 *
 * In:      rdi = address of a start-up block (argc, argv..., 0, envp..., 0)
 *          with 16 writable bytes below it
 * Out:     nothing; returns normally, with every callee-saved register kept
 *
 * __start records the block and calls its main routine; ours unwinds
 * straight back to bareio_adopt's caller, so __start never exits. From
 * then on the argument routines read the block, whose entries the caller
 * may change at any time. Not reentrant: the caller's stack pointer sits
 * in .bss meanwhile.
 */
	.intel_syntax noprefix

	.bss
	.p2align 3
caller_rsp:	.quad 0

	.text
	.globl	bareio_adopt
	.type	bareio_adopt, @function
bareio_adopt:
	push	rbp
	push	rbx
	push	r12
	push	r13
	push	r14
	push	r15
	mov	qword ptr [rip + caller_rsp], rsp
	mov	rsp, rdi		/* as at process entry: rsp -> argc */
	lea	rdi, [rip + adopted]
	call	__start
adopted:				/* __start's main: back to our caller */
	mov	rsp, qword ptr [rip + caller_rsp]
	pop	r15
	pop	r14
	pop	r13
	pop	r12
	pop	rbx
	pop	rbp
	ret
	.size	bareio_adopt, . - bareio_adopt

	.section .note.GNU-stack, "", @progbits
