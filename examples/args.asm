; args: writes each command-line argument on a line of its own and ends
; with the number of arguments as its exit status. Needs startup.o only.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) args.asm
;   ld -o args args.o $(pkg-config --libs bareio)
;   ./args one two; echo $?        # one, two, then 2

%include "bareio.inc"

        section .text
        global  _start
_start: lea     rdi, [rel main]         ; rsp is as the kernel left it
        call    __start                 ; runs main, exits with its rax

main:   push    rbx
        mov     rdi, -1
        call    __startarg              ; rax = number of arguments
        mov     rbx, rax
        xor     edi, edi                ; index of the next argument
.next:  cmp     rdi, rbx
        jge     .done
        push    rdi
        call    __startarg              ; rax = its zero-terminated text
        mov     rdi, rax
        xor     esi, esi                ; length 0: up to the zero byte
        call    __writestr
        lea     rdi, [rel newline]
        mov     esi, 1
        call    __writestr
        pop     rdi
        inc     rdi
        jmp     .next
.done:  mov     rax, rbx                ; the exit status
        pop     rbx
        ret

        section .rodata
newline: db     10

        section .note.GNU-stack noalloc noexec nowrite progbits
