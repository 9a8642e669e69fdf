/*
 * Where each register sits in struct Registers (contract.h): the
 * trampoline (trampoline.S) loads and stores the block by these offsets,
 * and contract.h checks them against the struct at compile time.
 * Included by C++ and by the assembler: definitions only.
 */
#ifndef SUPPORT_REGISTERS_H
#define SUPPORT_REGISTERS_H

#define REGS_GPR(n)	(8 * (n))		/* uint64_t gpr[16], in Gpr order */
#define REGS_XMM(n)	(128 + 16 * (n))	/* uint64_t xmm[16][2] */
#define REGS_RFLAGS	384			/* uint64_t rflags */
/* The flags rflags sets on entry: CF, PF, AF, ZF, SF, DF and OF. */
#define REGS_ENTRY_FLAGS	0xCD5
#define REGS_SIZE	392

#endif
