/*
 * entry-state: checks the state in which __start enters the main routine
 * and reports it as the exit status, a bit for each thing found wrong:
 *   1  rax is not 0
 *   2  rdi is not main's own address
 *   4  rsp is not 8 mod 16 (as after a call from an aligned stack)
 *   8  the word above the return address is not argc (count + 1)
 *  16  the word above argc is not the program name, argv[0] (checked
 *      when there is an argument: argv[1]'s text follows argv[0]'s)
 */
#include "bareio-asm.h"

ENTRY(_start)
	.cfi_undefined rip		/* the outermost frame */
	lea	rdi, [rip + main]
	call	__start
END(_start)

LOCAL(main)
	xor	ebx, ebx		/* the findings */
	test	rax, rax
	jz	1f
	or	ebx, 1
1:	lea	rcx, [rip + main]
	cmp	rdi, rcx
	je	2f
	or	ebx, 2
2:	mov	rcx, rsp
	and	ecx, 15
	cmp	ecx, 8
	je	3f
	or	ebx, 4
3:	mov	rdi, -1
	call	__startarg
	inc	rax
	cmp	rax, qword ptr [rsp + 8]
	je	4f
	or	ebx, 8
4:	xor	edi, edi
	call	__startarg		/* argv[1] */
	test	rax, rax
	jz	5f			/* run it with an argument to check this */
	mov	rcx, qword ptr [rsp + 16]	/* argv[0]: the kernel lays its */
6:	cmp	byte ptr [rcx], 0		/* text right before argv[1]'s */
	lea	rcx, [rcx + 1]
	jne	6b
	cmp	rcx, rax
	je	5f
	or	ebx, 16
5:	mov	eax, ebx
	ret
END(main)
