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
#include "read-line.h"

#define FRACTION_AREA	16	/* the point and up to six digits, then: */
#define FIRST_LOST	7	/* 1 when the first of two writes lost bytes */
#define CALLER_MXCSR	8	/* the caller's MXCSR, while ours is in force */
#define FRACTION_DIGITS	6
#define HUGE_LIMBS	136	/* 34 32-bit limbs: any double below 2^1024 */
#define HUGE_DIGITS	320	/* "-", 309 digits, ".0", with room to spare */
#define BILLION		1000000000
#define TEXT_POINT_ZERO	('.' | ('0' << 8))	/* ".0", a 16-bit word */

/* A double is m * 2^(exponent - UNIT_EXPONENT): m the 53-bit mantissa
   (the implicit bit at EXPONENT_SHIFT, then the stored ones below it),
   the biased exponent stored from bit EXPONENT_SHIFT up. */
#define EXPONENT_SHIFT	52
#define EXPONENT_BIAS	1023
#define UNIT_EXPONENT	(EXPONENT_BIAS + EXPONENT_SHIFT)	/* 1075 */
#define EXPONENT_OF_8	(EXPONENT_BIAS + 3)	/* 8 <= x < 16 */
#define MANTISSA_MASK	((1 << EXPONENT_SHIFT) - 1)

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
OBJECT(stop_scales_integer)		/* and as integers */
	.quad	100000, 10000, 1000, 100, 10, 1
END_OBJECT(stop_scales_integer)

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
 * In:      rax = address of a zero-terminated text, or 0
 * Out:     xmm0 = its value; 0.0 for a null address or text with no digit
 *          (rax still holds the address)
 * Changes: xmm0, flags
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
 *	return negative ? 0.0 - acc : acc;	// "-0": +0.0, or -0.0 rounding down
 */
LOCAL(__strtodec)
	xorpd	xmm0, xmm0		/* accumulator */
	test	rax, rax
	jz	.Lstrtodec_null
	save	rcx, rsi, rdi
	save_xmm 8, xmm1, xmm2		/* [rsp] the caller's MXCSR, [rsp + 4] ours */
	stmxcsr	dword ptr [rsp]
	stmxcsr	dword ptr [rsp + 4]
	or	word ptr [rsp + 4], MXCSR_MASKS
	ldmxcsr	dword ptr [rsp + 4]
	mov	rsi, rax		/* cursor */
	xor	edi, edi		/* 1 when negative */
	cmp	byte ptr [rsi], '-'
	jne	.Lstrtodec_integer
	inc	edi
	inc	rsi

.Lstrtodec_integer:
	movzx	ecx, byte ptr [rsi]
	sub	ecx, '0'
	cmp	ecx, 9
	ja	.Lstrtodec_point	/* unsigned: the point, zero, non-digits */
	mulsd	xmm0, qword ptr [rip + ten]
	xorps	xmm2, xmm2		/* no wait on the old xmm2 */
	cvtsi2sd xmm2, ecx
	addsd	xmm0, xmm2
	inc	rsi
	jmp	.Lstrtodec_integer

.Lstrtodec_point:			/* ecx: the byte after the digits, less '0' */
	cmp	ecx, '.' - '0'
	jne	.Lstrtodec_sign
	movsd	xmm1, qword ptr [rip + ten]	/* scale of the next fraction digit */
.Lstrtodec_fraction:
	inc	rsi
	movzx	ecx, byte ptr [rsi]
	sub	ecx, '0'
	cmp	ecx, 9
	ja	.Lstrtodec_sign		/* also a second point */
	xorps	xmm2, xmm2		/* no wait on the last quotient */
	cvtsi2sd xmm2, ecx
	divsd	xmm2, xmm1
	addsd	xmm0, xmm2
	mulsd	xmm1, qword ptr [rip + ten]
	jmp	.Lstrtodec_fraction

.Lstrtodec_sign:
	test	edi, edi
	jz	1f
	xorpd	xmm2, xmm2
	subsd	xmm2, xmm0
	movapd	xmm0, xmm2
1:	ldmxcsr	dword ptr [rsp]
	restore_xmm 8, xmm1, xmm2
	restore	rcx, rsi, rdi
.Lstrtodec_null:
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
 * Changes: xmm0, flags
 */
ENTRY(__argvdec)
	xorpd	xmm0, xmm0
	test	rdi, rdi
	js	1f			/* CF = 0 */
	push_cfi rax
	call	__startarg
	call	__strtodec		/* a null text gives 0.0; rax is kept */
	cmp	rax, 1			/* CF = 1 for the null text */
	pop_cfi rax
1:	ret
END(__argvdec)

/*
 * __readdec - read a decimal number from a line of standard input
 *
 * In:      nothing
 * Out:     xmm0 = value of one line's text (at most 20 bytes of it; the
 *          rest waits for the next read); 0.0 for an empty line, at end of
 *          input or on a read error
 *          CF = 1 when no input was taken at all, 0 when a line was (as
 *          for __readint)
 * Changes: xmm0, r11, flags
 * Stack:   LINE_AREA bytes, where read_line (read-line.h) leaves the line
 *          as a zero-terminated text; the registers it changes besides
 *          r11 are saved here
 *
 * The line is read as by __readint: exactly the line (or one message) is
 * consumed, signals and non-blocking input are waited out.
 */
ENTRY(__readdec)
	save	rax, rcx, rdx, rsi, rdi, r8, r10
	reserve	LINE_AREA
	read_line
	mov	rax, rsp
	call	__strtodec
	neg	ecx			/* CF = 1: no input at all */
	release	LINE_AREA
	restore	rax, rcx, rdx, rsi, rdi, r8, r10
	ret
END(__readdec)

/*
 * __writedec - write a decimal number with up to six fraction digits
 *
 * In:      xmm0 = value
 * Out:     nothing; xmm0 and rax are kept
 *          CF = 1 when some byte of either write was lost, else 0
 * Changes: r11, flags
 * Stack:   16 bytes at rsp (the fraction area, a flag and the caller's
 *          MXCSR), the saved xmm1 and xmm2 above them
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
	save	rax, rcx, rdx, rsi, rdi, r8, r9
	save_xmm FRACTION_AREA, xmm1, xmm2
	stmxcsr	dword ptr [rsp + CALLER_MXCSR]
	ldmxcsr	dword ptr [rip + mxcsr_default]

	/* xmm1 = |value|, edx = 1 when value < 0; xmm0 is only read. */
	xor	edx, edx
	xorpd	xmm1, xmm1
	ucomisd	xmm0, xmm1
	jp	.Lwritedec_nan
	jae	1f			/* zero of either sign is not below 0 */
	inc	edx
	subsd	xmm1, xmm0		/* 0.0 - value */
	jmp	2f
1:	movapd	xmm1, xmm0
2:	ucomisd	xmm1, qword ptr [rip + infinity]
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
	mov	edi, 0			/* i = 0, and CF kept */
	jmp	.Lwritedec_fraction
.Lwritedec_positive:
	call	__writeint		/* "i" */

	/*
	 * The fraction, f = x - i: digits while they are worth a unit of the
	 * sixth place. s, divided by 10 after each digit, takes the exact
	 * values 10^5 down to 1, so it comes from a table.
	 */
.Lwritedec_fraction:
	setc	byte ptr [rsp + FIRST_LOST]	/* the first write's CF */
	mov	byte ptr [rsp], '.'
	mov	ecx, 1			/* k */
	movq	rax, xmm1
	shr	rax, EXPONENT_SHIFT	/* x's biased exponent */
	cmp	eax, EXPONENT_OF_8
	jae	.Lwritedec_exact	/* x >= 8 */
	xorps	xmm2, xmm2
	cvtsi2sd xmm2, rdi
	subsd	xmm1, xmm2		/* f = x - i, exact */
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
	jmp	.Lwritedec_fraction_out

	/*
	 * From x >= 8 on, x has at most 49 fraction bits: f = F / 2^q with
	 * q <= 49, so f * 10 < 2^53 / 2^q is exact and so is every step
	 * above. The same digits come from integer arithmetic on F:
	 *	F *= 10;  d = F >> q;  F &= 2^q - 1;
	 * and (int)(f * s) == 0 exactly when F * s < 2^q, since f * s, a
	 * multiple of 2^-q, is then at most 1 - 2^-49 and rounds below 1.
	 */
.Lwritedec_exact:
	movq	rax, xmm1
	mov	rcx, rax
	shr	rcx, EXPONENT_SHIFT
	neg	ecx
	add	ecx, UNIT_EXPONENT	/* q = UNIT_EXPONENT - x's exponent */
	jg	1f
	xor	ecx, ecx		/* x whole (>= 2^52): F = 0 */
1:	mov	r8d, 1
	shl	r8, cl
	dec	r8			/* 2^q - 1 */
	and	rax, r8			/* F: x's mantissa bits below the point */
	lea	r9, [rip + stop_scales_integer]
	mov	esi, 1			/* k */
.Lwritedec_exact_digit:
	lea	rax, [rax + 4*rax]
	add	rax, rax		/* F *= 10, below 2^53 */
	mov	rdi, rax
	shr	rdi, cl			/* d */
	add	edi, '0'
	mov	byte ptr [rsp + rsi], dil
	and	rax, r8
	mov	rdi, rax
	mul	qword ptr [r9 + 8*rsi - 8]	/* rdx:rax = F * s */
	inc	esi
	shr	rax, cl
	or	rax, rdx
	mov	rax, rdi
	jz	1f			/* F * s < 2^q */
	cmp	esi, FRACTION_DIGITS
	jbe	.Lwritedec_exact_digit
1:	mov	ecx, esi

.Lwritedec_fraction_out:
	mov	rdi, rsp
	mov	esi, ecx
	call	__writestr
	jc	.Lwritedec_done
	neg	byte ptr [rsp + FIRST_LOST]	/* CF = what the first lost */

.Lwritedec_done:			/* CF set: the routine's status */
	.cfi_remember_state
	ldmxcsr	dword ptr [rsp + CALLER_MXCSR]
	restore_xmm FRACTION_AREA, xmm1, xmm2
	restore	rax, rcx, rdx, rsi, rdi, r8, r9
	ret
	.cfi_restore_state

.Lwritedec_nan:
	lea	rdi, [rip + text_nan]
	set_small rsi, TEXT_NAN_LENGTH
	call	__writestr
	jmp	.Lwritedec_done
.Lwritedec_infinity:
	lea	rdi, [rip + text_minus_infinity]
	set_small rsi, TEXT_MINUS_INFINITY_LENGTH
	test	edx, edx
	jnz	1f
	inc	rdi			/* "inf" without the sign */
	dec	esi
1:	call	__writestr
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
 * Stack:   the value as 34 little-endian 32-bit limbs, and the digits
 *
 * A double this large is m * 2^e, m of 53 bits and e from 11 to 971. The
 * limbs hold m shifted left by e; dividing them by 10^9 until nothing is
 * left yields the digits nine at a time, lowest first. One write.
 */
LOCAL(__writehuge)
	save	r8, r9, r10
	reserve	HUGE_LIMBS + HUGE_DIGITS
	mov	r10d, edx		/* negative */
	xor	eax, eax
	mov	ecx, HUGE_LIMBS / 8
1:	mov	qword ptr [rsp + 8*rcx - 8], rax
	dec	ecx
	jnz	1b

	movq	rax, xmm1
	mov	rcx, rax
	shr	rcx, EXPONENT_SHIFT
	sub	ecx, UNIT_EXPONENT	/* e */
	movabs	rdx, MANTISSA_MASK
	and	rax, rdx
	bts	rax, EXPONENT_SHIFT	/* m */
	mov	r8d, ecx
	shr	r8d, 5			/* lowest limb of m << e */
	and	ecx, 31
	xor	edx, edx
	shld	rdx, rax, cl
	shl	rax, cl
	mov	qword ptr [rsp + 4*r8], rax
	mov	dword ptr [rsp + 4*r8 + 8], edx
	add	r8d, 3			/* limbs in use, the top ones maybe 0 */

	lea	rsi, [rsp + HUGE_LIMBS + HUGE_DIGITS]	/* cursor, moving down */
	sub	rsi, 2
	mov	word ptr [rsi], TEXT_POINT_ZERO
	mov	r9d, BILLION
	mov	edi, 10

.Lwritehuge_divide:				/* limbs /= 10^9, remainder in edx */
	xor	edx, edx
	mov	ecx, r8d
2:	mov	eax, dword ptr [rsp + 4*rcx - 4]
	div	r9d			/* (rem * 2^32 + limb) / 10^9 fits 32 bits */
	mov	dword ptr [rsp + 4*rcx - 4], eax
	dec	ecx
	jnz	2b
	mov	eax, edx
3:	test	r8d, r8d		/* drop the limbs that became 0 */
	jz	.Lwritehuge_top
	cmp	dword ptr [rsp + 4*r8 - 4], 0
	jne	.Lwritehuge_inner
	dec	r8d
	jmp	3b
.Lwritehuge_inner:				/* more to come: exactly nine digits */
	mov	ecx, 9
4:	xor	edx, edx
	div	edi
	add	dl, '0'
	dec	rsi
	mov	byte ptr [rsi], dl
	dec	ecx
	jnz	4b
	jmp	.Lwritehuge_divide
.Lwritehuge_top:				/* the leading group: no leading zeros */
	xor	edx, edx
	div	edi
	add	dl, '0'
	dec	rsi
	mov	byte ptr [rsi], dl
	test	eax, eax
	jnz	.Lwritehuge_top

	test	r10d, r10d
	jz	5f
	dec	rsi
	mov	byte ptr [rsi], '-'
5:	lea	rax, [rsp + HUGE_LIMBS + HUGE_DIGITS]
	sub	rax, rsi
	mov	rdi, rsi
	mov	rsi, rax
	call	__writestr
	release	HUGE_LIMBS + HUGE_DIGITS
	restore	r8, r9, r10
	ret
END(__writehuge)

	cet_property_note
