; mul: reads two integers from standard input, a line each, and writes
; their product and a newline. Needs startup.o and integer.o.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) mul.asm
;   ld -o mul mul.o $(pkg-config --libs bareio)
;   printf '6\n7\n' | ./mul        # 42
;   (./mul; ./mul) < numbers.txt   # a product for each two lines

%include "bareio.inc"

        section .text
        global  _start
_start: lea     rdi, [rel main]
        call    __start

main:   call    __readint               ; rax = the first line's value
        mov     rdx, rax                ; rdx survives the next call
        call    __readint               ; rax = the second line's
        imul    rax, rdx
        mov     rdi, rax
        call    __writeint
        mov     edi, 10
        call    __writechr              ; newline
        xor     eax, eax
        ret

        section .note.GNU-stack noalloc noexec nowrite progbits
