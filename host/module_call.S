# Calls into the module in the host calling convention (the callee removes
# its arguments) and measures whether it did: a routine built with another
# convention leaves the stack off by a multiple of 4 bytes, which the host
# reports instead of running on with a corrupt stack.
#
# double panelhost_call_returning_double(const void* routine, const uint32_t* args,
#                                        uint32_t count, int32_t* imbalance)
# void   panelhost_call_returning_nothing(same arguments)
#
# The routine's double result, if any, is left in st(0), where the caller
# expects this function's own result.
    .text
    .globl _panelhost_call_returning_double
    .globl _panelhost_call_returning_nothing
_panelhost_call_returning_double:
_panelhost_call_returning_nothing:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl $4, %esp
    movl %esp, -16(%ebp)        # the stack as it must be after the call
    movl 16(%ebp), %ecx         # count
    movl 12(%ebp), %edx         # args
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)         # last argument first
    jmp 1b
2:  call *8(%ebp)
    movl %esp, %eax
    subl -16(%ebp), %eax        # bytes the routine left on (-) or took off (+)
    movl 20(%ebp), %edx
    movl %eax, (%edx)
    movl -16(%ebp), %esp
    addl $4, %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
