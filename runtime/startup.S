/*
 * startup: process start-up and exit, argument access, console text I/O.
 *
 * A program linked with this module starts in its own two-line entry code,
 * which calls __start with the address of its main routine; __start records
 * where the kernel's start-up block lies, runs main and ends the process with
 * main's result. Main then reaches its arguments through __startarg and does
 * console I/O through __readstr and __writestr: one read of standard input,
 * and a write to standard output that goes on until every byte is out,
 * nothing buffered.
 *
 * Register convention: the run-time's one, stated in bareio(3)
 * (man/bareio.3.in). Each routine below names the registers it may change;
 * all others come back unchanged.
 */
#include "bareio-asm.h"

	.data
	.p2align 3
/* Address of the start-up block (argc, argv[0..argc-1], 0, envp...), set
   once by __start; 0 while the program has not started through it. */
OBJECT(__start_stack)
	.quad	0
END_OBJECT(__start_stack)

/*
 * __start - run the program's main routine and exit with its result
 *
 * In:      rdi = address of main; reached by a call made with rsp at its
 *          value at process entry (the return address lies right below argc)
 * Out:     does not return
 *
 * Main is entered with rsp 8 mod 16 (as after any call from an aligned
 * stack), rax = 0, rdi = its own address, and no other arguments. Its rax is
 * the exit status; the kernel keeps the low 8 bits.
 */
ENTRY(__start)
	.cfi_undefined rip		/* the outermost frame: unwinding ends here */
	add	rsp, 8			/* drop our return address: rsp -> argc */
	mov	qword ptr [rip + __start_stack], rsp
	xor	eax, eax
	call	rdi
	mov	rdi, rax		/* main's result is the status */
	mov	eax, SYS_exit
	syscall
	ud2				/* not reached */
END(__start)

/*
 * __startarg - argument text or argument count
 *
 * In:      rdi = argument index (signed 64-bit; 0 is the first argument
 *          after the program name)
 * Out:     rax = for a negative index, the number of arguments after the
 *          program name; otherwise the address of that argument's
 *          zero-terminated text, or 0 when the index is at or past the count
 *          CF = 1 when a non-negative index names no argument, else 0
 * Changes: rax, flags
 *
 * Before __start has run there are no arguments: the count is 0 and every
 * text address is 0; so too for a block whose argc is 0. The environment
 * is never handed out as an argument.
 */
ENTRY(__startarg)
	mov	rax, qword ptr [rip + __start_stack]
	test	rax, rax
	jz	.Lstartarg_none		/* not started: count 0, no texts */
	mov	rax, qword ptr [rax]	/* argc, the program name included */
	dec	rax			/* count of arguments after it */
	js	.Lstartarg_none		/* argc 0: not even a name, no arguments */
	test	rdi, rdi
	js	.Lstartarg_done		/* negative index: the count, CF = 0 */
	cmp	rax, rdi
	jle	.Lstartarg_none		/* signed: index at or past the count */
	mov	rax, qword ptr [rip + __start_stack]	/* CF = 0 from the cmp */
	mov	rax, qword ptr [rax + 8*rdi + 16]	/* argv[index + 1] */
.Lstartarg_done:
	ret
.Lstartarg_none:			/* count 0, or no text: */
	xor	eax, eax
	bt	rdi, 63			/* CF = 1 for a negative index, */
	cmc				/* so CF = 1 when one is missing */
	ret
END(__startarg)

/*
 * __readstr - one read of standard input
 *
 * In:      rdi = buffer, rsi = capacity in bytes
 * Out:     rax = number of bytes read, less one when the last byte read is
 *          a newline (the newline stays in the buffer, uncounted); 0 at end
 *          of input; a negative kernel error code, unchanged, on failure
 *          CF = 1 when the read took no byte (end of input, an error, or
 *          a capacity of 0), 0 when it took some (a lone newline counts 0)
 * Changes: rax, r11, flags
 *
 * Exactly one read system call, its result handed back as it is (EINTR
 * and EAGAIN included): a terminal hands over at most one line, a pipe or
 * file what is there, up to the capacity; the rest waits for the next
 * call. No zero byte is stored; a caller that wants one reserves a byte
 * more than the capacity and stores it at the count.
 */
ENTRY(__readstr)
	save	rdi, rsi, rdx
	mov	rdx, rsi		/* read(STDIN, buffer, capacity) */
	mov	rsi, rdi
	xor	edi, edi		/* STDIN */
	xor	eax, eax		/* SYS_read */
	kernel_call
	test	rax, rax
	stc				/* none taken (stc leaves ZF, SF, OF) */
	jle	.Lreadstr_done		/* end of input or error: as it is */
	cmp	byte ptr [rsi + rax - 1], NEWLINE
	jne	.Lreadstr_taken
	dec	rax			/* uncount the final newline */
.Lreadstr_taken:
	clc
.Lreadstr_done:
	restore	rdi, rsi, rdx
	ret
END(__readstr)

/*
 * __writestr - write a text to standard output
 *
 * In:      rdi = text, rsi = length in bytes, or 0 for a zero-terminated
 *          text (whose zero byte is not written); a null text with
 *          length 0 writes nothing
 * Out:     nothing; rax is kept
 *          CF = 1 when some byte could not be written (or the write of an
 *          empty text failed), 0 when every byte was
 * Changes: r11, flags (the direction flag is not touched)
 *
 * Normally one write system call. A short write is continued, a write
 * interrupted by a signal is retried, and one that would block (standard
 * output non-blocking) waits in poll for room: every byte arrives, unless
 * the kernel reports another error (or accepts no byte at all), a blocking
 * output's own time-out (SO_SNDTIMEO) runs out, or poll itself fails,
 * which ends the call with CF set. An empty text still makes one write of
 * zero bytes.
 */
ENTRY(__writestr)
	save	rax, rdx, rsi, rdi
	mov	rdx, rsi
	test	rdx, rdx
	jnz	.Lwritestr_counted
	test	rdi, rdi
	jz	.Lwritestr_done		/* no text at all: nothing to write, CF = 0 */
	lea	rdx, [rdi - 1]		/* length 0: count the bytes before the zero */
.Lwritestr_count:
	inc	rdx
	cmp	byte ptr [rdx], 0
	jne	.Lwritestr_count
	sub	rdx, rdi

.Lwritestr_counted:
	mov	rsi, rdi		/* write(STDOUT, text, length) */
	mov	edi, STDOUT		/* (and no wait yet: see wait_ready) */
.Lwritestr_again:
	mov	eax, SYS_write
	kernel_call
	cmp	rax, rdx
	je	.Lwritestr_done		/* the usual case: all of it, CF = 0 */
	cmp	rax, -EINTR
	je	.Lwritestr_again	/* interrupted before any byte: retry */
	cmp	rax, -EAGAIN
	jne	.Lwritestr_short
	call	wait_ready		/* non-blocking and full: wait for room */
	test	rax, rax
	jns	.Lwritestr_again	/* (a time-out or a failed poll: below) */
.Lwritestr_short:
	test	rax, rax
	jle	.Lwritestr_lost		/* an error, or no progress: give up */
	add	rsi, rax		/* short write: carry on with the rest */
	sub	rdx, rax
	mov	edi, edi		/* bytes moved: the next wait need not sleep */
	jmp	.Lwritestr_again
.Lwritestr_lost:
	stc
.Lwritestr_done:
	restore	rax, rdx, rsi, rdi
	ret
END(__writestr)

/*
 * wait_ready - wait until standard input or output would not block
 *              (module-private)
 *
 * In:      edi = STDIN, to wait for input, or STDOUT, for room; above
 *          it, in rdi's bit WAITED, the state of the caller's waits: set
 *          by the last wait that said ready, cleared by the caller (mov
 *          edi, edi) when bytes move. The kernel takes a descriptor as 32
 *          bits, so rdi goes to the transfer's system call as it is.
 *          rax = the transfer's result, -EAGAIN
 * Out:     rax = 0 or more when the transfer is worth another try;
 *          negative when it is to end: -EAGAIN, as it came, for a
 *          blocking descriptor, or poll's error (as with RLIMIT_NOFILE
 *          at 0)
 *          rdi's bit WAITED set
 * Changes: rax, rdi's bit WAITED, r11, flags
 * Stack:   a pollfd
 *
 * Only a descriptor in non-blocking mode is waited for: from a blocking
 * one, EAGAIN means that a time-out of its own (a socket's SO_RCVTIMEO or
 * SO_SNDTIMEO) ran out, and so it does from one whose F_GETFL a filter
 * refuses. The wait is poll with no time limit, made again when a signal
 * interrupts it. A descriptor that says ready and then EAGAIN again (a
 * device can) is slept on for SLEEP_MS before each further poll, so the
 * wait never turns into a busy loop.
 */
#define WAITED		32	/* a bit of rdi, above the descriptor */
#define SLEEP_MS	10

LOCAL(wait_ready)
	save	rdx, rsi, rdi
	push_cfi rax			/* the transfer's -EAGAIN */
	push_cfi rdi			/* a pollfd: the descriptor, */
	lea	eax, [rdi + 2*rdi + POLLIN]	/* POLLIN for 0, POLLOUT for 1 */
	mov	byte ptr [rsp + POLLFD_EVENTS], al	/* its events */
	set_small rsi, F_GETFL		/* fcntl(fd, F_GETFL) */
	set_small rax, SYS_fcntl
	kernel_call
	test	eax, eax
	js	.Lwait_blocking		/* refused: taken as blocking */
	test	ah, O_NONBLOCK >> 8
	jz	.Lwait_blocking
	bt	rdi, WAITED
	mov	rdi, rsp		/* after a wait that said ready: */
	set_small rdx, SLEEP_MS		/* poll(&pollfd, 0, SLEEP_MS) sleeps */
	jnc	.Lwait_poll
	xor	esi, esi
	set_small rax, SYS_poll
	kernel_call
.Lwait_poll:
	set_small rsi, 1		/* poll(&pollfd, 1, no time limit) */
	set_small rdx, -1
	set_small rax, SYS_poll
	kernel_call
	cmp	eax, -EINTR		/* poll's result is an int */
	je	.Lwait_poll
	mov	qword ptr [rsp + 8], rax	/* the answer, in place of -EAGAIN */
.Lwait_blocking:
	pop_cfi	rax			/* the pollfd */
	pop_cfi	rax
	restore	rdx, rsi, rdi
	bts	rdi, WAITED
	ret
END(wait_ready)

/*
 * __readline - read one line of standard input as text
 *
 * In:      rdi = buffer, of rsi + 1 bytes; rsi = capacity
 * Out:     as __takeline's, below, for LINE_TEXT; rdx is kept
 * Changes: rax, r11, flags
 */
ENTRY(__readline)
	push_cfi rdx
	mov	dl, LINE_TEXT
	call	__takeline		/* its flags are ours */
	pop_cfi	rdx
	ret
END(__readline)

/*
 * __takeline - one line of standard input into a buffer (internal: the
 *              line reader of __readline, __readint and __readdec)
 *
 * In:      rdi = buffer, of rsi + 1 bytes; rsi = capacity
 *          dl = what becomes of a line longer than the capacity:
 *          LINE_TEXT, its rest stays in the input for the next call;
 *          LINE_NUMBER, its rest is taken and dropped, and then a final
 *          carriage return is not stored, and a zero byte in the line
 *          makes it not whole
 * Out:     rax = the bytes stored (the newline is taken, not stored);
 *          with no input, 0 or the failure's negative error code
 *          buffer[rax] = 0, or buffer[0] = 0 with no input
 *          dl = STATUS_DONE for a whole line; STATUS_PART when the bytes
 *          stored are not a whole line (the capacity ran out, a message
 *          held more, an error or a time-out ended it, a number's line
 *          holds a zero byte); STATUS_NONE when no input was taken at all
 *          (the end of input, an error, a failed or timed-out wait, a
 *          capacity of 0)
 *          CF = 1 for STATUS_NONE, OF = 1 for STATUS_PART
 * Changes: rax, rdx, r11, flags
 * Stack:   STAT_SIZE bytes: what line_kind asks the kernel, then the
 *          dropped rest of a number's line
 *
 * A line is the bytes up to its newline, or to the end of input; from a
 * socket of messages, one message, whose first newline ends it. Whatever
 * follows the line stays in the input, and nothing is kept between
 * calls. It is read in as few system calls as the kind of input allows
 * (line_kind, below) without taking more than the line:
 *	for (;;) {
 *		room = buffer + capacity - end;	// or where a number's rest goes
 *		if (how == BYTES) room = 1; if (how == MESSAGE) room++;
 *		if (how == PEEK) room = bytes through the first newline
 *				 of recv(end, room, MSG_PEEK);
 *		r = read(end, room);  n = bytes through the first newline of r;
 *		if (how == FILE && r > n) lseek(-(r - n), SEEK_CUR);
 *		// EINTR: again; EAGAIN: wait_ready, and again; a refused
 *		// peek, a file's EINVAL: how = BYTES, and again; the end, an
 *		// error: stop
 *		end += n, the newline not stored;
 *		if (the newline came || how == MESSAGE
 *		    || how == TERMINAL && r < room) break;	// ^D, or VEOL
 *	}
 */
/* How the line is read, in cl: line_kind's answer. */
#define LINE_BYTES	0	/* read a byte at a time */
#define LINE_PEEK	1	/* peek, then take through the newline */
#define LINE_FILE	2	/* read, then hand back what follows */
#define LINE_MESSAGE	3	/* read one message: it is the line */
#define LINE_TERMINAL	4	/* read what room is left: one line at most */
/* ch: the mode (LINE_NUMBER), the state of the call, and its status. */
#define TAKING		2	/* the peek is done: read what it showed */
#define WHOLE		0x40	/* with STATUS_PART: STATUS_DONE */
/* rdi: STDIN, and above it wait_ready's state. */

INTERNAL(__takeline)
	save	rcx, rsi, rdi, r8, r10, rbx, rbp, r12
	reserve	STAT_SIZE
	mov	r12, rdi		/* the line's start, */
	mov	rbx, rdi		/* its end so far, */
	lea	rbp, [rdi + rsi]	/* and where its room ends */
	mov	ch, dl
	or	ch, STATUS_DONE
	call	line_kind		/* cl = how; edi = STDIN from here on */

	/*
	 * A read (a peek first, for LINE_PEEK) into the line's room, or
	 * once the room of a number's line is full into the area, to be
	 * dropped.
	 */
.Ltakeline_next:
	mov	rsi, rbx
	mov	rdx, rbp
	sub	rdx, rbx		/* room left */
	jnz	.Ltakeline_room
	test	ch, LINE_NUMBER
	jz	.Ltakeline_full		/* the rest is the next call's */
	mov	rsi, rsp		/* a number's: read the rest, to drop */
	mov	dl, STAT_SIZE		/* (rdx = 0) */
.Ltakeline_room:
	cmp	cl, LINE_MESSAGE
	jne	.Ltakeline_not_message
	inc	rdx			/* a byte more shows a longer message */
.Ltakeline_not_message:
	test	cl, cl
	jnz	.Ltakeline_read
	mov	edx, 1			/* LINE_BYTES */
.Ltakeline_read:
	xor	eax, eax		/* read(STDIN, to, room), or for a peek */
					/* recvfrom(STDIN, to, room, MSG_PEEK, 0) */
	cmp	cl, LINE_PEEK
	jne	.Ltakeline_call
	test	ch, TAKING
	jnz	.Ltakeline_call
	set_small r10, MSG_PEEK		/* (once a line, as a rule) */
	xor	r8d, r8d
	mov	al, SYS_recvfrom
.Ltakeline_call:
	kernel_call
	test	rax, rax
	jle	.Ltakeline_status
	xor	r8d, r8d		/* m: the bytes before the first newline */
.Ltakeline_scan:
	cmp	byte ptr [rsi + r8], NEWLINE
	je	.Ltakeline_scanned
	inc	r8
	cmp	r8, rax
	jb	.Ltakeline_scan
.Ltakeline_scanned:
	mov	r10, r8			/* n: those and the newline, if it came */
	cmp	r8, rax
	adc	r10, 0
	cmp	cl, LINE_PEEK
	jne	.Ltakeline_took
	xor	ch, TAKING
	test	ch, TAKING
	jz	.Ltakeline_took		/* the read after the peek */
	mov	rdx, r10		/* peeked: now take those n */
	jmp	.Ltakeline_read

	/* rax = r bytes read to rsi, of rdx asked; r8 = m, r10 = n */
.Ltakeline_took:
	mov	edi, edi		/* bytes moved: wait_ready's state cleared */
	cmp	cl, LINE_FILE
	jne	.Ltakeline_kept
	mov	rsi, r10		/* lseek(STDIN, -(r - n), SEEK_CUR) */
	sub	rsi, rax
	jz	.Ltakeline_kept
	set_small rdx, SEEK_CUR
	set_small rax, SYS_lseek
	kernel_call
.Ltakeline_kept:
	cmp	rbx, rbp
	je	.Ltakeline_dropped
	add	rbx, r8
	cmp	cl, LINE_MESSAGE
	jne	.Ltakeline_ended
	cmp	rbx, rbp		/* one message is one line: what did not */
	cmova	rbx, rbp		/* fit, or followed its newline, is lost */
	ja	.Ltakeline_cut
	cmp	rax, r10
	je	.Ltakeline_end
	jmp	.Ltakeline_cut
.Ltakeline_dropped:
	test	r8, r8			/* was a byte of those the line's? */
	jz	.Ltakeline_ended
	and	ch, ~WHOLE
.Ltakeline_ended:
	cmp	r10, r8
	jne	.Ltakeline_end		/* the newline came */
	cmp	cl, LINE_TERMINAL
	jne	.Ltakeline_next
	cmp	rax, rdx
	jb	.Ltakeline_end		/* short of the room: ^D or VEOL ended it */
	jmp	.Ltakeline_next

	/* Nothing taken this time: rax = 0, the end of input, or -errno. */
.Ltakeline_status:
	and	ch, ~TAKING		/* peek again */
	test	rax, rax
	jz	.Ltakeline_stop
	cmp	eax, -EINTR		/* (-errno: the low half decides) */
	je	.Ltakeline_next
	cmp	eax, -EAGAIN
	je	.Ltakeline_wait
	cmp	cl, LINE_PEEK
	je	.Ltakeline_fall_back	/* a refused peek */
	cmp	cl, LINE_FILE
	jne	.Ltakeline_stop
	cmp	eax, -EINVAL
	jne	.Ltakeline_stop
.Ltakeline_fall_back:			/* (a file near the largest offset) */
	mov	cl, LINE_BYTES
	jmp	.Ltakeline_next
.Ltakeline_wait:
	call	wait_ready
	test	rax, rax
	jns	.Ltakeline_next
.Ltakeline_stop:			/* the end, an error, a time-out */
	cmp	rbx, r12
	je	.Ltakeline_none		/* before any byte: no input */
	test	rax, rax
	jz	.Ltakeline_end		/* a last line with no newline is whole */
	jmp	.Ltakeline_cut
.Ltakeline_full:
	xor	eax, eax
	cmp	rbx, r12
	je	.Ltakeline_none		/* a capacity of 0 takes nothing */
.Ltakeline_cut:
	and	ch, ~WHOLE

.Ltakeline_end:
	test	ch, LINE_NUMBER
	jz	.Ltakeline_counted
	cmp	rbx, r12		/* a number's line: no final carriage */
	je	.Ltakeline_counted	/* return, and no zero byte inside */
	cmp	byte ptr [rbx - 1], CARRIAGE_RETURN
	jne	.Ltakeline_zero_bytes
	dec	rbx
.Ltakeline_zero_bytes:
	mov	rax, r12
.Ltakeline_zero_byte:
	cmp	rax, rbx
	je	.Ltakeline_counted
	inc	rax
	cmp	byte ptr [rax - 1], 0
	jne	.Ltakeline_zero_byte
	and	ch, ~WHOLE
.Ltakeline_counted:
	mov	byte ptr [rbx], 0
	mov	rax, rbx
	sub	rax, r12
	mov	dl, ch
	and	dl, STATUS_DONE		/* STATUS_DONE, or STATUS_PART */
	jmp	.Ltakeline_return
.Ltakeline_none:
	mov	byte ptr [r12], 0
	mov	dl, STATUS_NONE
.Ltakeline_return:
	add	rsp, STAT_SIZE
	.cfi_adjust_cfa_offset -STAT_SIZE
	restore	rcx, rsi, rdi, r8, r10, rbx, rbp, r12
	cmp	dl, STATUS_FLAGS	/* CF and OF */
	ret
END(__takeline)

/*
 * line_kind - how __takeline reads standard input (module-private)
 *
 * In:      [rsp + 8]: STAT_SIZE bytes of scratch, __takeline's area
 * Out:     cl = LINE_BYTES, LINE_PEEK, LINE_FILE, LINE_MESSAGE or
 *          LINE_TERMINAL, as fstat tells what the input is (not lseek,
 *          which some devices answer without seeking):
 *	switch (kind of STDIN) {
 *	case regular file, block device: FILE;		// read, hand back the rest
 *	case terminal in canonical mode, not a pty's master:
 *		TERMINAL;				// a read gives one line at most
 *	case socket: getsockopt(SO_TYPE) is a type of messages ? MESSAGE
 *		   : a stream with a peek offset (SO_PEEK_OFF) ? BYTES : PEEK;
 *	default: BYTES;					// a pipe, a device
 *	}
 *          Where the kernel does not answer, the input is read a byte at
 *          a time, and peeked at where only SO_TYPE is refused.
 * Changes: cl, rax, rdx, rsi, rdi, r8, r10, r11, flags
 */
LOCAL(line_kind)
	xor	edi, edi		/* fstat(STDIN, area) */
	lea	rsi, [rsp + 8]
	set_small rax, SYS_fstat
	kernel_call
	mov	cl, LINE_BYTES
	test	eax, eax
	jnz	.Lkind_done		/* no answer: the read tells what is wrong */
	mov	al, byte ptr [rsi + STAT_MODE + 1]
	and	al, S_IFMT >> 8
	cmp	al, S_IFSOCK >> 8
	je	.Lkind_socket
	cmp	al, S_IFCHR >> 8
	je	.Lkind_character
	cmp	al, S_IFREG >> 8
	je	.Lkind_file
	cmp	al, S_IFBLK >> 8
	jne	.Lkind_done
.Lkind_file:
	mov	cl, LINE_FILE
.Lkind_done:
	ret

.Lkind_character:
	cmp	dword ptr [rsi + STAT_RDEV], PTMX_RDEV
	je	.Lkind_done		/* a pty's master: several lines a read */
	mov	rdx, rsi		/* ioctl(STDIN, TCGETS, area) */
	mov	esi, TCGETS
	set_small rax, SYS_ioctl
	kernel_call
	test	eax, eax
	jnz	.Lkind_done		/* no terminal */
	test	byte ptr [rdx + TERMIOS_LFLAG], ICANON
	jz	.Lkind_done		/* raw: a byte a read */
	mov	cl, LINE_TERMINAL
	ret

	/*
	 * getsockopt(STDIN, SOL_SOCKET, option, area + 8, &4), with an answer
	 * stored beforehand for a call that succeeds and writes none:
	 * SOCK_STREAM for SO_TYPE, then for a stream 0 for SO_PEEK_OFF, an
	 * offset, with which a peek would not show the line's start.
	 */
.Lkind_socket:
	mov	r8, rsi			/* optlen, then */
	mov	dword ptr [rsi], 4
	lea	r10, [rsi + 8]		/* the answer */
	set_small rdx, SO_TYPE
	set_small rax, SOCK_STREAM
.Lkind_ask:
	mov	dword ptr [r10], eax
	set_small rsi, SOL_SOCKET
	set_small rax, SYS_getsockopt
	kernel_call
	cmp	edx, SO_PEEK_OFF
	je	.Lkind_peek_offset
	mov	cl, LINE_PEEK
	test	eax, eax
	jnz	.Lkind_done		/* refused: a stream or not, peek */
	cmp	dword ptr [r10], SOCK_STREAM
	mov	cl, LINE_MESSAGE
	jne	.Lkind_done
	mov	cl, LINE_BYTES
	set_small rdx, SO_PEEK_OFF	/* a stream: has it a peek offset? */
	xor	eax, eax
	jmp	.Lkind_ask
.Lkind_peek_offset:
	cmp	eax, -EOPNOTSUPP
	je	.Lkind_peek		/* it cannot have one */
	test	eax, eax
	jnz	.Lkind_done		/* refused: it may have one */
	cmp	dword ptr [r10], 0
	jge	.Lkind_done		/* an offset: bytes */
.Lkind_peek:
	mov	cl, LINE_PEEK		/* -1: none */
	ret
END(line_kind)

	cet_property_note
