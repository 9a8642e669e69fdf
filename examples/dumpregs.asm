; dumpregs: compares its argument count with 2, dumps the registers and
; flags on standard error between the cmp and its jl, and exits with 1
; when it has fewer than two arguments, else 0: the jump goes as if the
; call were not there. Writes nothing on standard output. Needs startup.o
; and debug.o.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) dumpregs.asm
;   ld -o dumpregs dumpregs.o $(pkg-config --libs bareio)
;   ./dumpregs one; echo $?          # the dump, CF=1 SF=1 among it; 1
;   ./dumpregs one two; echo $?      # the dump, CF=0 ZF=1; 0

%include "bareio.inc"

        section .text
        global  _start
_start: lea     rdi, [rel main]
        call    __start

main:   mov     rdi, -1
        call    __startarg              ; rax = the number of arguments
        cmp     rax, 2
        call    __dumpregs              ; changes no register and no flag
        jl      .few                    ; taken when rax < 2, as without it
        xor     eax, eax                ; two or more: status 0
        ret
.few:   mov     eax, 1                  ; fewer: status 1
        ret

        section .note.GNU-stack noalloc noexec nowrite progbits
