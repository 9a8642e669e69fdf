/* A program on the run-time whose main routine returns 0 at once. */
#include "bareio-asm.h"

LOCAL(main)
	xor	eax, eax
	ret
END(main)

ENTRY(_start)
	.cfi_undefined rip		/* the outermost frame */
	lea	rdi, [rip + main]
	call	__start
END(_start)
