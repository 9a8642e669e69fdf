; mean: writes the mean of its decimal arguments and a newline (0.0 for
; none). Needs startup.o, integer.o and decimal.o.
;
;   nasm -f elf64 $(pkg-config --cflags bareio) mean.asm
;   ld -o mean mean.o $(pkg-config --libs bareio)
;   ./mean 1.5 2 4.25              # 2.583333

%include "bareio.inc"

        section .text
        global  _start
_start: lea     rdi, [rel main]
        call    __start

main:   mov     rdi, -1
        call    __argvint               ; rax = number of arguments
        mov     rcx, rax
        pxor    xmm1, xmm1              ; the sum; xmm1 survives the calls
        xor     edi, edi
.next:  cmp     rdi, rcx
        jge     .done
        call    __argvdec               ; xmm0 = value of argument rdi
        addsd   xmm1, xmm0
        inc     rdi
        jmp     .next
.done:  pxor    xmm0, xmm0
        test    rcx, rcx
        jz      .write
        cvtsi2sd xmm2, rcx
        movapd  xmm0, xmm1
        divsd   xmm0, xmm2
.write: call    __writedec
        mov     edi, 10
        call    __writechr
        xor     eax, eax
        ret

        section .note.GNU-stack noalloc noexec nowrite progbits
