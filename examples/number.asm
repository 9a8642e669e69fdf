; number: writes each line of its input with its number in front, until
; the end of input. It reads with __readstr, which makes one read and
; returns what it gave: from a pipe or a file that can be several lines or
; part of one, so the lines are found in what each read brought. Exits
; with 1 when a read fails or output is lost. Needs startup.o and integer.o.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) number.asm
;   ld -o number number.o $(pkg-config --libs bareio)
;   printf 'one\n\nthree\n' | ./number      # 1: one, 2: , 3: three

%include "bareio.inc"

CAPACITY equ    64                      ; the most one read takes

        section .text
        global  _start
_start: lea     rdi, [rel main]
        call    __start

; __readstr leaves a final newline in the buffer, uncounted. No newline is
; kept in the buffer between reads, so one at the count is this read's.
main:   mov     r12d, 1                 ; the number of the next line
        mov     r13d, 1                 ; 1 while the next byte begins a line
.read:  lea     rdi, [rel buffer]
        mov     esi, CAPACITY
        call    __readstr               ; rax = bytes read, less a final newline
        jc      .end                    ; CF: none read, at the end or on an error
        lea     rbx, [rdi + rax]        ; rbx = the end of the bytes read
        cmp     byte [rbx], 10
        jne     .piece
        inc     rbx                     ; and the final newline

.piece: cmp     rdi, rbx                ; rdi = the next byte to write
        jae     .read
        test    r13d, r13d
        jz      .find
        push    rdi
        mov     rdi, r12
        call    __writeint              ; the line's number
        mov     edi, ': '
        call    __writechr
        pop     rdi
        inc     r12
        xor     r13d, r13d
.find:  mov     r14, rdi                ; r14 = the end of the piece: past a
.scan:  inc     r14                     ; newline, or the end of the read
        cmp     r14, rbx
        je      .write
        cmp     byte [r14 - 1], 10
        jne     .scan
.write: mov     rsi, r14
        sub     rsi, rdi                ; at least 1 (0 would mean "to a zero byte")
        call    __writestr
        jc      .lost                   ; CF: a byte was lost
        mov     rdi, r14
        cmp     byte [rdi - 1], 10      ; the piece ended its line?
        jne     .piece
        mov     byte [rdi - 1], 0       ; then no newline stays in the buffer
        mov     r13d, 1
        jmp     .piece

.end:   shr     rax, 63                 ; exit status: 1 for an error (rax < 0),
        ret                             ; 0 at the end of input (rax = 0)
.lost:  mov     eax, 1
        ret

        section .bss
buffer: resb    CAPACITY + 1            ; the byte after the last stays 0

        section .note.GNU-stack noalloc noexec nowrite progbits
