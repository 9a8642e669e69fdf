/*
 * The floors the run-time is measured against: routines that make only the
 * system call a run-time routine makes, with its call and return.
 *
 *   floor_write(text, length)     one write(1, text, length)
 *   floor_read(buffer, capacity)  one read(0, buffer, capacity)
 *
 * Changes rax, rcx, rdx, rsi, rdi, r11. The bare syscall instruction, not
 * the run-time's kernel_call, which also pays for keeping rcx: the floor
 * is the system call alone.
 */
#include "bareio-asm.h"

ENTRY(floor_write)
	mov	rdx, rsi
	mov	rsi, rdi
	mov	edi, STDOUT
	mov	eax, SYS_write
	syscall
	ret
END(floor_write)

ENTRY(floor_read)
	mov	rdx, rsi
	mov	rsi, rdi
	mov	edi, STDIN
	mov	eax, SYS_read
	syscall
	ret
END(floor_read)
