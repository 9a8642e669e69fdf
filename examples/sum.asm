; sum: adds its integer arguments and writes the total and a newline.
; Needs startup.o and integer.o.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) sum.asm
;   ld -o sum sum.o $(pkg-config --libs bareio)
;   ./sum 40 2 -5                  # 37

%include "bareio.inc"

        section .text
        global  _start
_start: lea     rdi, [rel main]
        call    __start

main:   mov     rdi, -1
        call    __argvint               ; rax = number of arguments
        mov     rcx, rax
        xor     edx, edx                ; the total
        xor     edi, edi
.next:  cmp     rdi, rcx                ; rcx, rdx and rdi survive the calls
        jge     .done
        call    __argvint               ; rax = value of argument rdi
        add     rdx, rax
        inc     rdi
        jmp     .next
.done:  mov     rdi, rdx
        call    __writeint
        mov     edi, 10
        call    __writechr              ; newline
        xor     eax, eax
        ret

        section .note.GNU-stack noalloc noexec nowrite progbits
