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

# The same call, observed (validate): the state the convention says a
# routine keeps is recorded just before the call and just after it, into
# states[0] and states[1] (KeptState, module_call.h), with canary values in
# the callee-saved registers so a routine that changes one cannot hide it.
# Whatever the routine left, the caller's registers, stack, x87 control
# word, MXCSR and direction flag are restored from this frame, found through
# a variable rather than %ebp, which the routine may have changed. Observed
# calls nest (a service the module calls runs the module's element
# routines); each frame keeps the address of the one around it.
#
# double panelhost_call_observed(const void* routine, const uint32_t* args, uint32_t count,
#                                int32_t* imbalance, void* states)
    .data
    .balign 4
observed_frame:
    .long 0
routine_ebx:
    .long 0
    .text
    .globl _panelhost_call_observed_double
    .globl _panelhost_call_observed_nothing
_panelhost_call_observed_double:
_panelhost_call_observed_nothing:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    pushl observed_frame
    movl %esp, observed_frame   # frame: 0 outer frame, 4 edi, 8 esi, 12 ebx, 16 ebp, 20 return,
                                # 24 routine, 28 args, 32 count, 36 imbalance, 40 states
    movl 16(%ebp), %ecx
    movl 12(%ebp), %edx
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edx,%ecx,4)
    jmp 1b
2:  movl 24(%ebp), %eax         # states[0]: before
    movl 8(%ebp), %ecx          # the routine
    movl $0xB0B1B2B3, %ebx
    movl $0x5E5E5E5E, %esi
    movl $0xD1D2D3D4, %edi
    movl %ebx, 0(%eax)
    movl %esi, 4(%eax)
    movl %edi, 8(%eax)
    movl $0xEBEBEBEB, 12(%eax)
    pushfl
    popl 16(%eax)
    fnstcw 20(%eax)
    fnstsw 22(%eax)
    stmxcsr 24(%eax)
    movl $0xEBEBEBEB, %ebp
    call *%ecx
    movl %ebx, routine_ebx
    movl observed_frame, %ebx
    movl %esp, %edx
    subl %ebx, %edx             # bytes the routine left on (-) or took off (+)
    movl 36(%ebx), %ecx
    movl %edx, (%ecx)
    movl %ebx, %esp             # the stack as it must be, before anything is pushed
    movl 40(%ebx), %ecx
    addl $28, %ecx              # states[1]: after
    movl routine_ebx, %edx
    movl %edx, 0(%ecx)
    movl %esi, 4(%ecx)
    movl %edi, 8(%ecx)
    movl %ebp, 12(%ecx)
    pushfl
    popl 16(%ecx)
    fnstcw 20(%ecx)
    fnstsw 22(%ecx)
    stmxcsr 24(%ecx)
    cld
    fldcw -8(%ecx)              # the caller's control word and MXCSR again
    ldmxcsr -4(%ecx)
    popl observed_frame
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
