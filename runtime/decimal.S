/*
 * decimal: decimal numbers (64-bit doubles) from arguments and standard
 * input, and decimal numbers to standard output.
 *
 * Decimal text read is an optional single minus sign, digits, and
 * optionally a point and more digits, up to the first byte that does not
 * fit: no exponent, plus sign or white space; text that is not a number is
 * 0.0. Each digit is folded in with one double operation at a time, in the
 * order written below, which is what decides the last bits of the result.
 *
 * Decimal text written is the value rounded to six places with trailing
 * zeros left off, always with at least one fraction digit ("2.0", "-0.25").
 *
 * Register convention: the run-time's one, stated in bareio(3); decimal
 * arguments and results travel in xmm0. Each routine below names the
 * registers it may change; all others, xmm1-xmm15 included, come back
 * unchanged.
 */
#include "bareio-asm.h"

/* __writedec's stack: the fraction area (the point and up to six digits),
   a flag, the caller's MXCSR, and the saved xmm1 and xmm2. */
#define FIRST_LOST	7	/* 1 when the first of two writes lost bytes */
#define CALLER_MXCSR	8	/* the caller's MXCSR, while ours is in force */
#define SAVED_XMM1	16
#define SAVED_XMM2	32
#define WRITEDEC_AREA	48
#define FRACTION_DIGITS	6
#define BILLION		1000000000
#define TEXT_POINT_ZERO	('.' | ('0' << 8))	/* ".0", a 16-bit word */

/* A double is m * 2^(exponent - UNIT_EXPONENT): m the 53-bit mantissa
   (the implicit bit at EXPONENT_SHIFT, then the stored ones below it),
   the biased exponent stored from bit EXPONENT_SHIFT up. */
#define EXPONENT_SHIFT	52
#define EXPONENT_BIAS	1023
#define UNIT_EXPONENT	(EXPONENT_BIAS + EXPONENT_SHIFT)	/* 1075 */

	.section .rodata
	.p2align 3
/* Doubles and 64-bit integers. */
OBJECT(ten)
	.double	10.0
END_OBJECT(ten)
OBJECT(rounding_bias)			/* the double nearest to 5e-7 */
	.quad	0x3EA0C6F7A0B5ED8D
END_OBJECT(rounding_bias)
OBJECT(two_pow_63)			/* 2^63: the first magnitude too large */
	.quad	0x43E0000000000000
END_OBJECT(two_pow_63)
OBJECT(infinity)
	.quad	0x7FF0000000000000
END_OBJECT(infinity)
OBJECT(mxcsr_default)			/* round to nearest, nothing traps */
	.long	MXCSR_DEFAULT
END_OBJECT(mxcsr_default)
OBJECT(stop_scales)			/* s for the k-th digit, as doubles */
	.double	100000.0, 10000.0, 1000.0, 100.0, 10.0, 1.0
END_OBJECT(stop_scales)

/*
 * Texts written by length (no zero byte). Each length is a plain number, so
 * that every assembler reads it as an immediate operand, and the check
 * after each text stops the build if the two ever disagree.
 */
#define TEXT_MINUS_ZERO_LENGTH		2
#define TEXT_MINUS_INFINITY_LENGTH	4
#define TEXT_NAN_LENGTH			3

.macro text name, length, bytes
OBJECT(\name)
	.ascii	"\bytes"
END_OBJECT(\name)
	.if . - \name - \length
	.error	"\name is not \length bytes long"
	.endif
.endm

	text	text_minus_zero, TEXT_MINUS_ZERO_LENGTH, "-0"
	text	text_minus_infinity, TEXT_MINUS_INFINITY_LENGTH, "-inf"
	text	text_nan, TEXT_NAN_LENGTH, "nan"

/*
 * __strtodec - convert decimal text (module-private)
 *
 * In:      rax = address of a zero-terminated text
 *          dl = the caller's status so far (STATUS_DONE, ...)
 * Out:     xmm0 = its value; 0.0 for text with no digit
 *          dl &= STATUS_PART (a part) unless the text is one number that fits: an
 *          optional '-', digits, optionally '.' and digits, at least one
 *          digit in all, up to the zero byte, and a finite value
 * Changes: xmm0, dl, flags
 *
 * The arithmetic rounds in the caller's rounding mode, with every
 * floating-point exception masked so that none traps here; the caller's
 * MXCSR, its exception flags included, comes back as it was.
 *
 *	negative = (*p == '-'); p += negative;
 *	for (acc = 0.0; isdigit(*p); p++) acc = acc * 10.0 + digit;
 *	if (*p == '.')
 *		for (p++, scale = 10.0; isdigit(*p); p++, scale *= 10.0)
 *			acc = acc + digit / scale;
 *	if (*p != 0 || no digit || acc is infinite) dl &= STATUS_PART;
 *	return negative ? 0.0 - acc : acc;	// "-0": +0.0, or -0.0 rounding down
 */
#define NEGATIVE	1	/* edi's bits */
#define DIGIT_SEEN	2
#define CONVERTER_AREA	40	/* [rsp] the caller's MXCSR, [rsp + 4] ours,
				   [rsp + 8] xmm1, [rsp + 24] xmm2 */

LOCAL(__strtodec)
	save	rcx, rsi, rdi
	reserve	CONVERTER_AREA
	movdqu	xmmword ptr [rsp + 8], xmm1
	movdqu	xmmword ptr [rsp + 24], xmm2
	stmxcsr	dword ptr [rsp]
	stmxcsr	dword ptr [rsp + 4]
	or	word ptr [rsp + 4], MXCSR_MASKS
	ldmxcsr	dword ptr [rsp + 4]
	xorpd	xmm0, xmm0		/* accumulator */
	mov	rsi, rax		/* cursor */
	xor	edi, edi
	cmp	byte ptr [rsi], '-'
	jne	.Lstrtodec_integer
	inc	edi			/* NEGATIVE */
	inc	rsi

.Lstrtodec_integer:
	movzx	ecx, byte ptr [rsi]
	sub	ecx, '0'
	cmp	ecx, 9
	ja	.Lstrtodec_point	/* unsigned: the point, zero, non-digits */
	or	edi, DIGIT_SEEN
	mulsd	xmm0, qword ptr [rip + ten]
	xorps	xmm2, xmm2		/* no wait on the old xmm2 */
	cvtsi2sd xmm2, ecx
	addsd	xmm0, xmm2
	inc	rsi
	jmp	.Lstrtodec_integer

.Lstrtodec_point:			/* ecx: the byte after the digits, less '0' */
	cmp	ecx, '.' - '0'
	jne	.Lstrtodec_end
	movsd	xmm1, qword ptr [rip + ten]	/* scale of the next fraction digit */
.Lstrtodec_fraction:
	inc	rsi
	movzx	ecx, byte ptr [rsi]
	sub	ecx, '0'
	cmp	ecx, 9
	ja	.Lstrtodec_end		/* also a second point */
	or	edi, DIGIT_SEEN
	xorps	xmm2, xmm2		/* no wait on the last quotient */
	cvtsi2sd xmm2, ecx
	divsd	xmm2, xmm1
	addsd	xmm0, xmm2
	mulsd	xmm1, qword ptr [rip + ten]
	jmp	.Lstrtodec_fraction

.Lstrtodec_end:
	cmp	ecx, -'0'
	jne	.Lstrtodec_not_a_number	/* the scan stopped before the zero byte */
	test	dil, DIGIT_SEEN
	jz	.Lstrtodec_not_a_number
	ucomisd	xmm0, qword ptr [rip + infinity]
	jne	.Lstrtodec_sign		/* finite */
.Lstrtodec_not_a_number:
	and	dl, STATUS_PART
.Lstrtodec_sign:
	test	dil, NEGATIVE
	jz	.Lstrtodec_done
	xorpd	xmm2, xmm2
	subsd	xmm2, xmm0
	movapd	xmm0, xmm2
.Lstrtodec_done:
	ldmxcsr	dword ptr [rsp]
	movdqu	xmm1, xmmword ptr [rsp + 8]
	movdqu	xmm2, xmmword ptr [rsp + 24]
	release	CONVERTER_AREA
	restore	rcx, rsi, rdi
	ret
END(__strtodec)

/*
 * __argvdec - decimal value of an argument
 *
 * In:      rdi = argument index, 0 for the first argument after the name
 * Out:     xmm0 = the value of that argument's text; 0.0 for an index at
 *          or past the count, and for a negative index (there is no count
 *          query here: __argvint gives the count)
 *          CF = 1 when a non-negative index names no argument, else 0
 *          OF = 1 when the argument is not one number that fits (as
 *          __strtodec judges), else 0
 * Changes: xmm0, flags
 */
ENTRY(__argvdec)
	save	rax, rdx
	xorpd	xmm0, xmm0
	mov	dl, STATUS_DONE
	test	rdi, rdi
	js	.Largvdec_done		/* no count here: 0.0 */
	call	__startarg
	mov	dl, STATUS_NONE
	jc	.Largvdec_done		/* no such argument */
	mov	dl, STATUS_DONE
	call	__strtodec
.Largvdec_done:
	cmp	dl, STATUS_FLAGS
	restore	rax, rdx
	ret
END(__argvdec)

/*
 * __readdec - read a decimal number from a line of standard input
 *
 * In:      nothing
 * Out:     xmm0 = the value of the line's first NUMBER_CAPACITY bytes,
 *          converted as __strtodec converts; the rest of a longer line
 *          is taken and dropped. 0.0 for an empty line, at end of input
 *          or on a read error
 *          CF = 1 when no input was taken at all, 0 when a line was (as
 *          for __readint)
 *          OF = 1 when CF = 0 and the line is not one number that fits
 *          (as for __readint, with __strtodec judging the text)
 * Changes: xmm0, r11, flags
 * Stack:   NUMBER_AREA bytes for the line, and __takeline's
 */
ENTRY(__readdec)
	save	rax, rdx, rsi, rdi
	reserve	NUMBER_AREA
	mov	rdi, rsp
	set_small rsi, NUMBER_CAPACITY
	mov	dl, LINE_NUMBER
	call	__takeline		/* dl = its status */
	mov	rax, rsp
	call	__strtodec
	cmp	dl, STATUS_FLAGS	/* CF: no input; OF: not a number */
	release	NUMBER_AREA
	restore	rax, rdx, rsi, rdi
	ret
END(__readdec)

/*
 * __writedec - write a decimal number with up to six fraction digits
 *
 * In:      xmm0 = value
 * Out:     nothing; xmm0 and rax are kept
 *          CF = 1 when some byte of either write was lost, else 0
 * Changes: r11, flags
 * Stack:   WRITEDEC_AREA bytes: the fraction area, a flag, the caller's
 *          MXCSR and the saved xmm1 and xmm2
 *
 *	if (value < 0) { write '-'; value = 0.0 - value; }	// -0.0 is "0.0"
 *	x = value + bias;		// bias: the double nearest 5e-7
 *	i = (int64_t)x;  __writeint(i);
 *	f = x - (double)i;  area = ".";  k = 1;  s = 1e6;
 *	do {
 *		f = f * 10.0;  d = (int)f;  area[k++] = '0' + d;
 *		f = f - (double)d;  s = s / 10.0;
 *	} while ((int)(f * s) != 0 && k <= 6);
 *	__writestr(area, k);
 *
 * The sign travels with the integer part, so the text takes two writes
 * (the texts below, one). The digits are computed with round to nearest
 * and every exception masked, whatever the caller's MXCSR says; the
 * caller's comes back as it was, its exception flags included.
 * Outside that range: any NaN writes "nan", infinities "inf" and "-inf",
 * and a magnitude from 2^63 up (always a whole number) its exact digits
 * and ".0".
 */
ENTRY(__writedec)
	save	rax, rcx, rdx, rsi, rdi, r8
	reserve	WRITEDEC_AREA
	movdqu	xmmword ptr [rsp + SAVED_XMM1], xmm1
	movdqu	xmmword ptr [rsp + SAVED_XMM2], xmm2
	stmxcsr	dword ptr [rsp + CALLER_MXCSR]
	ldmxcsr	dword ptr [rip + mxcsr_default]

	/* xmm1 = |value|, edx = 1 when value < 0; xmm0 is only read. */
	xor	edx, edx
	xorpd	xmm1, xmm1
	ucomisd	xmm0, xmm1
	jp	.Lwritedec_nan
	jae	.Lwritedec_not_below_0	/* zero of either sign is not below 0 */
	inc	edx
	subsd	xmm1, xmm0		/* 0.0 - value */
	jmp	.Lwritedec_magnitude
.Lwritedec_not_below_0:
	movapd	xmm1, xmm0
.Lwritedec_magnitude:
	ucomisd	xmm1, qword ptr [rip + infinity]
	je	.Lwritedec_infinity
	addsd	xmm1, qword ptr [rip + rounding_bias]	/* x */
	ucomisd	xmm1, qword ptr [rip + two_pow_63]
	jae	.Lwritedec_huge
	cvttsd2si rdi, xmm1		/* i */

	/* The integer part, with the sign in front when negative. */
	test	edx, edx
	jz	.Lwritedec_positive
	test	rdi, rdi
	jz	.Lwritedec_minus_zero
	mov	r8, rdi
	neg	rdi
	call	__writeint		/* "-i" */
	mov	rdi, r8			/* (mov keeps its CF) */
	jmp	.Lwritedec_fraction
.Lwritedec_minus_zero:
	lea	rdi, [rip + text_minus_zero]
	set_small rsi, TEXT_MINUS_ZERO_LENGTH
	call	__writestr		/* "-0" */
	set_small rdi, 0		/* i = 0, and CF kept */
	jmp	.Lwritedec_fraction
.Lwritedec_positive:
	call	__writeint		/* "i" */

	/*
	 * The fraction, f = x - i (exact): digits while they are worth a
	 * unit of the sixth place. s, divided by 10 after each digit, takes
	 * the exact values 10^5 down to 1, so it comes from a table.
	 */
.Lwritedec_fraction:
	setc	byte ptr [rsp + FIRST_LOST]	/* the first write's CF */
	mov	byte ptr [rsp], '.'
	set_small rcx, 1		/* k */
	xorps	xmm2, xmm2
	cvtsi2sd xmm2, rdi
	subsd	xmm1, xmm2		/* f */
	lea	rsi, [rip + stop_scales]
.Lwritedec_digit:
	mulsd	xmm1, qword ptr [rip + ten]
	cvttsd2si eax, xmm1		/* d */
	lea	edx, [rax + '0']
	mov	byte ptr [rsp + rcx], dl
	xorps	xmm2, xmm2
	cvtsi2sd xmm2, eax
	subsd	xmm1, xmm2		/* f -= d */
	movapd	xmm2, xmm1
	mulsd	xmm2, qword ptr [rsi + 8*rcx - 8]	/* f * s */
	inc	ecx
	cvttsd2si eax, xmm2
	test	eax, eax
	jz	.Lwritedec_fraction_out	/* the rest is below a unit of the 6th place */
	cmp	ecx, FRACTION_DIGITS
	jbe	.Lwritedec_digit

.Lwritedec_fraction_out:
	mov	rdi, rsp
	mov	esi, ecx
	call	__writestr
	jc	.Lwritedec_done
	neg	byte ptr [rsp + FIRST_LOST]	/* CF = what the first lost */

.Lwritedec_done:			/* CF set: the routine's status */
	.cfi_remember_state
	ldmxcsr	dword ptr [rsp + CALLER_MXCSR]
	movdqu	xmm1, xmmword ptr [rsp + SAVED_XMM1]
	movdqu	xmm2, xmmword ptr [rsp + SAVED_XMM2]
	release	WRITEDEC_AREA
	restore	rax, rcx, rdx, rsi, rdi, r8
	ret
	.cfi_restore_state

.Lwritedec_nan:
	lea	rdi, [rip + text_nan]
	set_small rsi, TEXT_NAN_LENGTH
	jmp	.Lwritedec_text
.Lwritedec_infinity:
	lea	rdi, [rip + text_minus_infinity]
	set_small rsi, TEXT_MINUS_INFINITY_LENGTH
	test	edx, edx
	jnz	.Lwritedec_text
	inc	rdi			/* "inf" without the sign */
	dec	esi
.Lwritedec_text:
	call	__writestr
	jmp	.Lwritedec_done
.Lwritedec_huge:
	subsd	xmm1, qword ptr [rip + rounding_bias]	/* back to |value| */
	call	__writehuge
	jmp	.Lwritedec_done
END(__writedec)

/*
 * __writehuge - the exact digits of a whole double from 2^63 up
 *               (module-private)
 *
 * In:      xmm1 = magnitude, finite and at least 2^63; edx = 1 to write a
 *          minus sign in front
 * Out:     nothing
 * Changes: rax, rcx, rdx, rsi, rdi, r11, flags (__writedec saves them)
 * Stack:   the value as 32-bit limbs in base 10^9, lowest first, and its
 *          digits
 *
 * A double this large is m * 2^e, m below 2^53 and e from 11 to 971. The
 * limbs start as m and are multiplied by 2^29 at a time (the last time by
 * what is left of 2^e): a limb times 2^29 and the carry in stays below
 * 2^64, and the carry out below 2^29 + 1, one new limb at most. The
 * digits then come nine a limb, the top limb's without leading zeros.
 * One write.
 */
#define HUGE_LIMBS	36	/* 35 hold 10^315 > 2^1024; and to 8 bytes */
#define HUGE_DIGITS	320	/* "-", 309 digits, ".0", with room to spare */
#define HUGE_AREA	(4 * HUGE_LIMBS + HUGE_DIGITS)
#define HUGE_SHIFT	29	/* the most bits a pass multiplies by */

LOCAL(__writehuge)
	save	r8, r9, r10
	reserve	HUGE_AREA
	mov	r10d, edx		/* negative */
	movq	rax, xmm1
	mov	rsi, rax
	shr	rsi, EXPONENT_SHIFT
	sub	esi, UNIT_EXPONENT	/* e */
	shl	rax, 64 - EXPONENT_SHIFT
	shr	rax, 64 - EXPONENT_SHIFT
	bts	rax, EXPONENT_SHIFT	/* m */
	mov	r9d, BILLION
	xor	edx, edx
	div	r9
	mov	dword ptr [rsp], edx	/* m % 10^9, */
	mov	dword ptr [rsp + 4], eax	/* m / 10^9 */
	mov	r8d, 2			/* limbs in use (the top may be 0) */

.Lwritehuge_pass:			/* limbs *= 2^k */
	mov	ecx, HUGE_SHIFT
	cmp	esi, ecx
	cmovb	ecx, esi		/* k */
	sub	esi, ecx
	xor	edi, edi		/* carry */
	xor	r11d, r11d		/* the limb */
.Lwritehuge_limb:
	mov	eax, dword ptr [rsp + 4*r11]
	shl	rax, cl
	add	rax, rdi
	xor	edx, edx
	div	r9
	mov	dword ptr [rsp + 4*r11], edx
	mov	rdi, rax
	inc	r11d
	cmp	r11d, r8d
	jb	.Lwritehuge_limb
	test	edi, edi
	jz	.Lwritehuge_passed
	mov	dword ptr [rsp + 4*r8], edi	/* a new top limb */
	inc	r8d
.Lwritehuge_passed:
	test	esi, esi
	jnz	.Lwritehuge_pass

	lea	rsi, [rsp + HUGE_AREA - 2]	/* cursor, moving down */
	mov	word ptr [rsi], TEXT_POINT_ZERO
	mov	r9d, 10
	xor	r11d, r11d
.Lwritehuge_print:			/* limb r11's digits, lowest first */
	mov	eax, dword ptr [rsp + 4*r11]
	inc	r11d
	mov	ecx, 9
.Lwritehuge_digit:
	xor	edx, edx
	div	r9d
	add	dl, '0'
	dec	rsi
	mov	byte ptr [rsi], dl
	test	eax, eax
	jnz	.Lwritehuge_more
	cmp	r11d, r8d
	je	.Lwritehuge_printed	/* the top limb: no leading zeros */
.Lwritehuge_more:
	dec	ecx
	jnz	.Lwritehuge_digit
	jmp	.Lwritehuge_print

.Lwritehuge_printed:
	test	r10d, r10d
	jz	.Lwritehuge_out
	dec	rsi
	mov	byte ptr [rsi], '-'
.Lwritehuge_out:
	lea	rax, [rsp + HUGE_AREA]
	sub	rax, rsi
	mov	rdi, rsi
	mov	rsi, rax
	call	__writestr
	release	HUGE_AREA
	restore	r8, r9, r10
	ret
END(__writehuge)

	cet_property_note
