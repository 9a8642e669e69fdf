; stars: writes a row of stars for each integer argument, as many as the
; argument says: "./stars 3 1" writes "***" and "*". Two counters, kept in
; registers that every call keeps (r11 is not one of them). Needs
; startup.o and integer.o.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) stars.asm
;   ld -o stars stars.o $(pkg-config --libs bareio)
;   ./stars 3 1 4                  # ***, *, ****

%include "bareio.inc"

        section .text
        global  _start
_start: lea     rdi, [rel main]
        call    __start

main:   xor     ebx, ebx                ; the index of the next argument
.row:   mov     rdi, rbx
        call    __argvint               ; rax = its value
        jc      .done                   ; CF: no such argument
        mov     rcx, rax                ; stars left to write in this row
        mov     edi, '*'
.star:  test    rcx, rcx
        jle     .end
        call    __writechr
        dec     rcx
        jmp     .star
.end:   mov     edi, 10
        call    __writechr              ; the row's newline
        inc     rbx
        jmp     .row
.done:  xor     eax, eax
        ret

        section .note.GNU-stack noalloc noexec nowrite progbits
