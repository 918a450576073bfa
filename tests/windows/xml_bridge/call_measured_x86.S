/* Calls a function with 4-byte arguments pushed right to left, as the 32-bit __stdcall
   convention expects, and measures how many argument bytes the callee left on the stack
   (a __stdcall callee removes all of them, so the right answer is 0).

   void pelzorCallMeasured(void* fn, const uint32_t* args, int argc, int returnsDouble,
                           struct MeasuredCall* out);
   struct MeasuredCall { uint32_t eax; uint32_t edx; double st0; int32_t leftover; }; */
    .text
    .globl _pelzorCallMeasured
_pelzorCallMeasured:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    movl %esp, %ebx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  call *8(%ebp)
    movl 24(%ebp), %edi
    movl %eax, 0(%edi)
    movl %edx, 4(%edi)
    movl %ebx, %ecx
    subl %esp, %ecx
    movl %ecx, 16(%edi)
    cmpl $0, 20(%ebp)
    je 3f
    fstpl 8(%edi)
3:  movl %ebx, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
