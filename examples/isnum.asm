; isnum: reads integers, a line each, until end of input, and writes each
; back, or "not a number" and what it read as when the line is not one
; number that fits in 64 bits: __readint's overflow flag says which. Needs
; startup.o and integer.o.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) isnum.asm
;   ld -o isnum isnum.o $(pkg-config --libs bareio)
;   printf '4\nabc\n-2\n' | ./isnum          # 4, not a number (0), -2

%include "bareio.inc"

        section .text
        global  _start
_start: lea     rdi, [rel main]
        call    __start

main:
.next:  call    __readint               ; rax = the line's value
        jc      .done                   ; CF: no input at all, the end
        jo      .not_a_number           ; OF: the line is not one number
.write: mov     rdi, rax
        call    __writeint
        mov     edi, 10
        call    __writechr
        jmp     .next
.not_a_number:
        lea     rdi, [rel not_text]
        xor     esi, esi
        call    __writestr              ; keeps rax: it has no result
        jmp     .write
.done:  xor     eax, eax
        ret

        section .rodata
not_text: db    "not a number, read as ", 0

        section .note.GNU-stack noalloc noexec nowrite progbits
