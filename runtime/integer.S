/*
 * integer: signed 64-bit integers from arguments and standard input, and
 * integers and characters to standard output.
 *
 * Integer text is an optional single minus sign and decimal digits, read up
 * to the first byte that is not a digit: no white space, no plus sign;
 * text with no leading digit is 0, and numbers too large for 64 bits wrap
 * modulo 2^64. The readers report in the overflow flag whether the text
 * was one number that fits, and nothing else. Written integers carry no
 * newline, padding or plus sign.
 *
 * Register convention: the run-time's one, stated in bareio(3). Each
 * routine below names the registers it may change; all others come back
 * unchanged, rax included where there is no result.
 */
#include "bareio-asm.h"

#define WRITE_AREA	24	/* __writeint's digits; the longest text is 20 */
#define VALUE_SLOT	WRITE_AREA	/* its rdi, pushed right above them */

/*
 * __strtoint - convert integer text (module-private)
 *
 * In:      rax = address of a zero-terminated text
 *          dl = the caller's status so far (STATUS_DONE, ...)
 * Out:     rax = its value; 0 for text with no digit
 *          dl &= STATUS_PART (a part) unless the text is one number that fits: an
 *          optional '-' and one or more digits up to the zero byte, from
 *          -2^63 to 2^63 - 1
 * Changes: rax, dl, flags
 *
 *	negative = (*p == '-'); p += negative; digits = p;
 *	for (u = 0; (d = *p - '0') <= 9 (unsigned); p++)
 *		u = u * 10 + d;			// wraps; too many: too large
 *	if (*p != 0 || p == digits || too large
 *	    || u > 2^63 - 1 + negative) dl &= STATUS_PART;
 *	return negative ? -u : u;
 */
LOCAL(__strtoint)
	save	rcx, rsi, rdi, r8
	mov	rsi, rax		/* cursor */
	xor	eax, eax		/* u */
	xor	r8d, r8d
	cmp	byte ptr [rsi], '-'
	sete	r8b			/* 1 when negative */
	add	rsi, r8
	mov	rdi, rsi		/* where the digits start */
.Lstrtoint_digit:
	movzx	ecx, byte ptr [rsi]
	sub	ecx, '0'
	cmp	ecx, 9
	ja	.Lstrtoint_end		/* unsigned: the zero byte, any non-digit */
	imul	rax, rax, 10		/* u * 10 from 2^63 up: too large for */
	jno	.Lstrtoint_add		/* either sign, however it wraps on */
	and	dl, STATUS_PART
.Lstrtoint_add:
	add	rax, rcx
	inc	rsi
	jmp	.Lstrtoint_digit
.Lstrtoint_end:
	cmp	ecx, -'0'
	jne	.Lstrtoint_not_a_number	/* the scan stopped before the zero byte */
	cmp	rsi, rdi
	je	.Lstrtoint_not_a_number	/* no digit */
	mov	esi, r8d		/* the largest magnitude: 2^63 - 1, */
	bts	rsi, 63			/* or 2^63 when negative */
	dec	rsi
	cmp	rax, rsi
	jbe	.Lstrtoint_sign
.Lstrtoint_not_a_number:
	and	dl, STATUS_PART
.Lstrtoint_sign:
	test	r8b, r8b
	jz	.Lstrtoint_done
	neg	rax
.Lstrtoint_done:
	restore	rcx, rsi, rdi, r8
	ret
END(__strtoint)

/*
 * __argvint - integer value of an argument, or the argument count
 *
 * In:      rdi = argument index
 * Out:     rax = for a negative index, the number of arguments; otherwise
 *          the value of that argument's text, 0 for an index at or past
 *          the count
 *          CF = 1 when a non-negative index names no argument, else 0
 *          OF = 1 when the argument is not one number that fits (as
 *          __strtoint judges), else 0
 * Changes: rax, flags
 */
ENTRY(__argvint)
	push_cfi rdx
	call	__startarg
	mov	dl, STATUS_NONE
	jc	.Largvint_done		/* no such argument: 0 */
	mov	dl, STATUS_DONE
	test	rdi, rdi
	js	.Largvint_done		/* the count, as it is */
	call	__strtoint
.Largvint_done:
	cmp	dl, STATUS_FLAGS
	pop_cfi	rdx
	ret
END(__argvint)

/*
 * __readint - read an integer from a line of standard input
 *
 * In:      nothing
 * Out:     rax = the value of the line's first NUMBER_CAPACITY bytes,
 *          converted as __strtoint converts; the rest of a longer line
 *          is taken and dropped. 0 for an empty line, at end of input or
 *          on a read error
 *          CF = 1 when no input was taken at all (end of input, a read
 *          error, a failed or timed-out wait), 0 when a line was, even an
 *          empty one or part of one
 *          OF = 1 when CF = 0 and the line is not one number that fits:
 *          longer than NUMBER_CAPACITY bytes, ended by an error, holding
 *          a zero byte, or a text __strtoint judges so (a final carriage
 *          return is not the text's)
 * Changes: rax, r11, flags
 * Stack:   NUMBER_AREA bytes for the line, and __takeline's
 */
ENTRY(__readint)
	save	rdx, rsi, rdi
	reserve	NUMBER_AREA
	mov	rdi, rsp
	set_small rsi, NUMBER_CAPACITY
	mov	dl, LINE_NUMBER
	call	__takeline		/* dl = its status */
	mov	rax, rsp
	call	__strtoint
	cmp	dl, STATUS_FLAGS	/* CF: no input; OF: not a number */
	release	NUMBER_AREA
	restore	rdx, rsi, rdi
	ret
END(__readint)

/* Puts the two digits of \v (below 100) in front of the cursor rsi. */
.macro put_two_digits v
	movzx	edx, word ptr [r8 + 2*\v]
	sub	rsi, 2
	mov	word ptr [rsi], dx
.endm

/* Stores the four digits of \v (below 10^4) at [rsi + \at]; changes \v,
   edx and r9d. v / 100 is (v * 5243) >> 19, exact below 10^4. */
.macro put_four_digits v, v32, v16, at
	imul	edx, \v32, 5243
	shr	edx, 19			/* v / 100 */
	imul	r9d, edx, 100
	sub	\v32, r9d		/* v % 100 */
	movzx	\v32, word ptr [r8 + 2*\v]
	mov	word ptr [rsi + \at + 2], \v16
	movzx	edx, word ptr [r8 + 2*rdx]
	mov	word ptr [rsi + \at], dx
.endm

/*
 * __writeint - write a signed integer in decimal
 *
 * In:      rdi = value
 * Out:     nothing; rax is kept
 *          CF = 1 when some byte could not be written, else 0
 * Changes: r11, flags
 * Stack:   24-byte area, filled from its end; the value in its slot above
 *
 * The magnitude is taken as unsigned, so INT64_MIN writes as a minus sign
 * and the digits of 2^63. Digits come two at a time from a table; the
 * divisions by 10^8, 10^4 and 100 are multiplications by reciprocals:
 *
 *	u = |value|;
 *	while (u >= 10^8) { c = u % 10^8; u /= 10^8; put 8 digits of c; }
 *	while (u >= 100)  { put 2 digits of u % 100; u /= 100; }
 *	put 2 digits of u if u >= 10, else 1;
 *	put '-' if value < 0;
 *	__writestr(first byte, length);
 */
ENTRY(__writeint)
	save	rax, rcx, rdx, rsi, r8, r9
	push_cfi rdi			/* the value, at VALUE_SLOT */
	reserve	WRITE_AREA
	lea	rsi, [rsp + WRITE_AREA]	/* cursor, moving towards the start */
	lea	r8, [rip + digit_pairs]
	mov	rax, rdi
	neg	rax
	cmovs	rax, rdi		/* u = |value|; INT64_MIN stays 2^63 */
	cmp	rax, 100000000
	jb	.Lwriteint_head

.Lwriteint_chunk:			/* u >= 10^8: its last 8 digits */
	mov	rcx, rax
	movabs	rax, 0xABCC77118461CEFD
	mul	rcx
	shr	rdx, 26			/* q = u / 10^8 */
	imul	rax, rdx, 100000000
	sub	rcx, rax		/* c = u % 10^8 */
	mov	rax, rdx		/* u = q */
	imul	rdi, rcx, 0x68DB8BAD
	shr	rdi, 44			/* hi = c / 10^4 (exact for c < 10^8) */
	imul	edx, edi, 10000
	sub	ecx, edx		/* lo = c % 10^4 */
	put_four_digits rcx, ecx, cx, -4
	put_four_digits rdi, edi, di, -8
	sub	rsi, 8
	cmp	rax, 100000000
	jae	.Lwriteint_chunk

.Lwriteint_head:			/* u < 10^8: two digits at a time */
	cmp	eax, 100
	jb	.Lwriteint_last
.Lwriteint_pair:
	imul	rcx, rax, 0x51EB851F
	shr	rcx, 37			/* q = u / 100 (exact for 32 bits) */
	imul	edx, ecx, 100
	sub	eax, edx		/* u % 100 */
	put_two_digits rax
	mov	eax, ecx
	cmp	eax, 100
	jae	.Lwriteint_pair
.Lwriteint_last:			/* u < 100: its one or two digits */
	cmp	eax, 10
	jb	.Lwriteint_one
	put_two_digits rax
	jmp	.Lwriteint_sign
.Lwriteint_one:
	add	eax, '0'
	dec	rsi
	mov	byte ptr [rsi], al
.Lwriteint_sign:
	cmp	qword ptr [rsp + VALUE_SLOT], 0	/* the value: its sign */
	jge	.Lwriteint_out
	dec	rsi
	mov	byte ptr [rsi], '-'
.Lwriteint_out:
	lea	rax, [rsp + WRITE_AREA]
	sub	rax, rsi
	mov	rdi, rsi
	mov	rsi, rax
	call	__writestr		/* its CF is ours */
	release	WRITE_AREA
	pop_cfi	rdi
	restore	rax, rcx, rdx, rsi, r8, r9
	ret
END(__writeint)

/*
 * __writechr - write the bytes of a character code
 *
 * In:      rdi = code: its bytes, least significant first, up to the first
 *          zero byte (a value from 1 to 255 is one character)
 * Out:     nothing; rax is kept
 *          CF = 1 when some byte could not be written, else 0
 * Changes: r11, flags
 *
 * 0 writes nothing (a write of zero bytes); a code with no zero byte
 * writes its eight bytes and no more.
 */
ENTRY(__writechr)
	save	rsi, rdi		/* the code, now in memory, low byte first */
	xor	esi, esi
.Lwritechr_count:
	cmp	byte ptr [rsp + rsi], 0
	je	.Lwritechr_out
	inc	esi
	cmp	esi, 8
	jb	.Lwritechr_count
.Lwritechr_out:
	mov	rdi, rsp		/* a count of 0 writes zero bytes: the text */
	call	__writestr		/* at rsp then starts with its zero byte */
	restore	rsi, rdi
	ret
END(__writechr)

	.section .rodata
/* "00" "01" ... "99": the two digits of every value below 100. */
OBJECT(digit_pairs)
	.irpc tens, 0123456789
	.irpc ones, 0123456789
	.ascii	"\tens\ones"
	.endr
	.endr
END_OBJECT(digit_pairs)

	cet_property_note
