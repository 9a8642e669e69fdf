; rev: writes each line of its input reversed, until the end of input.
; __readline reads one line a call, whatever the input is: a terminal, a
; pipe or a file. A line that fills the buffer (CAPACITY bytes or more) is
; not reversed: its rest is read and dropped, "line too long" is written
; in its place, and the exit status is 1. Needs startup.o and integer.o.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) rev.asm
;   ld -o rev rev.o $(pkg-config --libs bareio)
;   printf 'hello\nworld\n' | ./rev          # olleh, dlrow

%include "bareio.inc"

CAPACITY equ    100                     ; the most a line gives one call

        section .text
        global  _start
_start: lea     rdi, [rel main]
        call    __start

main:   xor     ebp, ebp                ; the exit status
.line:  lea     rdi, [rel buffer]
        mov     esi, CAPACITY
        call    __readline              ; rax = the line's bytes, a zero after
        jc      .end                    ; CF: no input at all, the end
        jo      .long                   ; OF: the buffer filled, the line goes on
        lea     rsi, [rdi + rax - 1]    ; rsi = its last byte, rdi its first
.swap:  cmp     rdi, rsi                ; swap them, and on inwards
        jae     .write
        mov     cl, [rdi]
        mov     dl, [rsi]
        mov     [rdi], dl
        mov     [rsi], cl
        inc     rdi
        dec     rsi
        jmp     .swap
.write: lea     rdi, [rel buffer]
        mov     rsi, rax                ; an empty line's 0 means "up to the
        call    __writestr              ; zero byte": nothing, as it should
        mov     edi, 10                 ; the newline, taken and not stored
        call    __writechr
        jmp     .line
.long:  call    __readline              ; the rest of the line, dropped: the
        jo      .long                   ; same buffer, until the line ends
        lea     rdi, [rel long_text]
        xor     esi, esi
        call    __writestr
        mov     ebp, 1
        jmp     .line
.end:   mov     eax, ebp
        ret

        section .rodata
long_text: db   "line too long", 10, 0

        section .bss
buffer: resb    CAPACITY + 1            ; and __readline's zero byte

        section .note.GNU-stack noalloc noexec nowrite progbits
