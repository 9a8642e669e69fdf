/*
 * debug: a register dump that a program can drop in anywhere.
 *
 * __dumpregs writes the sixteen general registers, the address its call
 * returns to and the flags, one name and value a line, to standard error,
 * so that a program's standard output stays as it would be without it.
 * It needs no other module and no other module needs it: a program names
 * it (MODULES debug, or -lbareio, which takes it only when it is called).
 *
 * Register convention: stricter than the run-time's (bareio(3)). It
 * changes nothing at all: every general and vector register, MXCSR, the
 * status flags and the direction flag come back as they were, so that a
 * call can stand between a cmp and its conditional jump.
 */
#include "bareio-asm.h"

/*
 * The text: one line per value, its name padded to NAME_WIDTH and its 16
 * hexadecimal digits, then on the flags line each flag's name, '=' and
 * a digit. It is built on the stack from dump_template; every value is
 * written over the template's zeros, every flag digit is the template's
 * '0' plus the flag's bit.
 */
#define NAME_WIDTH	7	/* "rflags ": every value starts in column 8 */
#define DIGITS		16
#define LINE		24	/* name, digits, newline */
#define VALUES		18	/* rax ... r15 in gdb's order, rip, rflags */
#define FLAG_ENTRY	5	/* " CF=0" */
#define FLAG_COUNT	7	/* CF PF AF ZF SF DF OF */
#define FLAG_DIGITS	((VALUES - 1) * LINE + NAME_WIDTH + DIGITS + FLAG_ENTRY - 1)
					/* CF's digit, in the last line */
#define TEXT_LENGTH	(VALUES * LINE + FLAG_COUNT * FLAG_ENTRY)	/* 467 */
#define TEXT_AREA	((TEXT_LENGTH + 7) / 8 * 8)	/* copied a quadword at a time */

/*
 * The caller's values, saved above the text in the order they are shown:
 * rax at the lowest address, rflags at the highest, the return address
 * right above it. SAVED is the bytes pushed below the return address when
 * the caller's rsp is worked out: rflags, the copy of rip and r15 ... r8.
 */
#define SAVED		(8 * 10)

/*
 * __dumpregs - write every register and the flags to standard error
 *
 * In:      nothing
 * Out:     nothing; every register and flag is kept
 * Changes: nothing (TF and RF aside, which only a debugger sets)
 * Stack:   the return address, 18 saved values, TEXT_AREA bytes of
 *          text and the system call's rcx: 632 bytes below the caller's
 *          rsp; any alignment
 *
 * Writes TEXT_LENGTH bytes in one write(2) to descriptor 2:
 *	rax    0000000000000007        (rax rbx rcx rdx rsi rdi rbp rsp
 *	...                             r8 ... r15, rip: one a line)
 *	rflags 0000000000000246 CF=0 PF=1 AF=0 ZF=1 SF=0 DF=0 OF=0
 * rsp is the caller's, as it was before the call pushed its return
 * address; rip is that return address. A short write is continued and
 * one interrupted by a signal before any byte is made again; any other
 * failure (no descriptor 2, a full non-blocking output) ends the call
 * quietly, as nothing is left to report it in. No string instruction is
 * used, so a set direction flag changes nothing.
 */
ENTRY(__dumpregs)
	pushfq				/* first: nothing below may change them */
	.cfi_adjust_cfa_offset 8
	push	qword ptr [rsp + 8]	/* rip, the return address, shown */
	.cfi_adjust_cfa_offset 8	/* before rflags */
	save	r15, r14, r13, r12, r11, r10, r9, r8
	push	rsp			/* rsp as it was before this push, */
	.cfi_adjust_cfa_offset 8	/* past SAVED and the return address: */
	add	qword ptr [rsp], SAVED + 8	/* the caller's rsp */
	save	rbp, rdi, rsi, rdx, rcx, rbx, rax
	reserve	TEXT_AREA

	/* The template onto the stack, a quadword at a time. */
	lea	rsi, [rip + dump_template]
	xor	ecx, ecx
.Ldumpregs_copy:
	mov	rdx, qword ptr [rsi + 8*rcx]
	mov	qword ptr [rsp + 8*rcx], rdx
	inc	ecx
	cmp	ecx, TEXT_AREA / 8
	jb	.Ldumpregs_copy

	/* Each value's digits, the most significant first: a turn left by 4
	   brings the next one to the low nibble, and 16 turns leave the
	   value in rax as it was. */
	lea	rsi, [rip + hex_digits]
	lea	rdi, [rsp + NAME_WIDTH]	/* the first value's first digit */
	xor	ecx, ecx		/* the value's slot */
.Ldumpregs_value:
	mov	rax, qword ptr [rsp + TEXT_AREA + 8*rcx]
	mov	r8d, DIGITS
.Ldumpregs_digit:
	rol	rax, 4
	mov	edx, eax
	and	edx, 15
	movzx	edx, byte ptr [rsi + rdx]
	mov	byte ptr [rdi], dl
	inc	rdi
	dec	r8d
	jnz	.Ldumpregs_digit
	add	rdi, LINE - DIGITS	/* the next line's first digit */
	inc	ecx
	cmp	ecx, VALUES
	jb	.Ldumpregs_value

	/* rax is the last value, rflags: each flag's bit onto its '0'. */
	lea	rsi, [rip + flag_bits]
	lea	rdi, [rsp + FLAG_DIGITS]
	xor	ecx, ecx
.Ldumpregs_flag:
	movzx	edx, byte ptr [rsi + rcx]
	bt	rax, rdx		/* CF = the flag */
	adc	byte ptr [rdi], 0
	add	rdi, FLAG_ENTRY
	inc	ecx
	cmp	ecx, FLAG_COUNT
	jb	.Ldumpregs_flag

	/* write(STDERR, text, TEXT_LENGTH), continued until all is out. */
	mov	rsi, rsp
	mov	edx, TEXT_LENGTH
.Ldumpregs_write:
	mov	edi, STDERR
	mov	eax, SYS_write
	kernel_call
	cmp	rax, -EINTR
	je	.Ldumpregs_write	/* a signal came first: again */
	test	rax, rax
	jle	.Ldumpregs_done		/* refused, or no byte taken: given up */
	add	rsi, rax
	sub	rdx, rax
	jnz	.Ldumpregs_write	/* a short write: the rest */
.Ldumpregs_done:
	release	TEXT_AREA
	restore	rbp, rdi, rsi, rdx, rcx, rbx, rax
	release	8			/* the caller's rsp, worked out */
	restore	r15, r14, r13, r12, r11, r10, r9, r8
	release	8			/* the copy of rip */
	popfq				/* last */
	.cfi_adjust_cfa_offset -8
	ret
END(__dumpregs)

	.section .rodata
/* The text that __dumpregs fills in. */
OBJECT(dump_template)
	.ascii	"rax    0000000000000000\n"
	.ascii	"rbx    0000000000000000\n"
	.ascii	"rcx    0000000000000000\n"
	.ascii	"rdx    0000000000000000\n"
	.ascii	"rsi    0000000000000000\n"
	.ascii	"rdi    0000000000000000\n"
	.ascii	"rbp    0000000000000000\n"
	.ascii	"rsp    0000000000000000\n"
	.ascii	"r8     0000000000000000\n"
	.ascii	"r9     0000000000000000\n"
	.ascii	"r10    0000000000000000\n"
	.ascii	"r11    0000000000000000\n"
	.ascii	"r12    0000000000000000\n"
	.ascii	"r13    0000000000000000\n"
	.ascii	"r14    0000000000000000\n"
	.ascii	"r15    0000000000000000\n"
	.ascii	"rip    0000000000000000\n"
	.ascii	"rflags 0000000000000000"
	.ascii	" CF=0 PF=0 AF=0 ZF=0 SF=0 DF=0 OF=0\n"
	.if	. - dump_template != TEXT_LENGTH
	.error	"dump_template is not TEXT_LENGTH bytes long"
	.endif
	.fill	TEXT_AREA - TEXT_LENGTH	/* to a whole quadword, for the copy */
END_OBJECT(dump_template)

/* The bit of each flag shown, in the order of the flags line. */
OBJECT(flag_bits)
	.byte	0, 2, 4, 6, 7, 10, 11	/* CF PF AF ZF SF DF OF */
END_OBJECT(flag_bits)

/* The digit of each value of a nibble. */
OBJECT(hex_digits)
	.ascii	"0123456789abcdef"
END_OBJECT(hex_digits)

	cet_property_note
