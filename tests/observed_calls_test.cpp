// Module calls made while an observer watches them (as validate does): the
// state a routine must keep, as it stood on both sides of the call, and the
// caller's own registers and modes back whatever the routine left.
#include <gtest/gtest.h>

#include <cstdint>

#include "host/module_call.h"

// Routines in the host calling convention, each breaking one rule, written
// out so that no compiler tidies them up.
extern "C" {
double __stdcall keeps_everything(uint32_t);
double __stdcall changes_ebx_and_esi(uint32_t);
double __stdcall sets_single_precision(uint32_t);
double __stdcall sets_flush_to_zero(uint32_t);
double __stdcall sets_direction_flag(uint32_t);
double __stdcall leaves_two_values(uint32_t);
double __cdecl leaves_its_argument(uint32_t);
// The host's observed call itself (module_call.S), and a caller of it
// with known values in the callee-saved registers: which of ebx, esi, edi,
// ebp (bits 0 to 3) came back changed.
double panelhost_call_observed_double(const void* routine, const uint32_t* args, uint32_t count, int32_t* imbalance,
                                      panelhost::KeptState* states);
int registers_after_observed_call(const void* routine, const uint32_t* args, uint32_t count, int32_t* imbalance,
                                  panelhost::KeptState* states);
}
__asm__(".text\n"
        "_keeps_everything@4:\n"
        "    pushl %ebx\n"
        "    movl $1, %ebx\n"
        "    popl %ebx\n"
        "    fld1\n"
        "    ret $4\n"
        "_changes_ebx_and_esi@4:\n"
        "    movl $0x12345678, %ebx\n"
        "    xorl %esi, %esi\n"
        "    fld1\n"
        "    ret $4\n"
        "_sets_single_precision@4:\n"
        "    pushl $0x007F\n"
        "    fldcw (%esp)\n"
        "    addl $4, %esp\n"
        "    fld1\n"
        "    ret $4\n"
        "_sets_flush_to_zero@4:\n"
        "    subl $4, %esp\n"
        "    stmxcsr (%esp)\n"
        "    orl $0x8000, (%esp)\n"
        "    ldmxcsr (%esp)\n"
        "    addl $4, %esp\n"
        "    fld1\n"
        "    ret $4\n"
        "_sets_direction_flag@4:\n"
        "    std\n"
        "    fld1\n"
        "    ret $4\n"
        "_leaves_two_values@4:\n"
        "    fld1\n"
        "    fld1\n"
        "    ret $4\n"
        "_leaves_its_argument:\n"
        "    fld1\n"
        "    ret\n"
        "_registers_after_observed_call:\n"
        "    pushl %ebx\n"
        "    pushl %esi\n"
        "    pushl %edi\n"
        "    pushl %ebp\n"
        "    movl $5, %ecx\n"
        "0:  pushl 36(%esp)\n"  // the five arguments, last first
        "    loop 0b\n"
        "    movl $0xAAAA0001, %ebx\n"
        "    movl $0xAAAA0002, %esi\n"
        "    movl $0xAAAA0003, %edi\n"
        "    movl $0xAAAA0004, %ebp\n"
        "    call _panelhost_call_observed_double\n"
        "    addl $20, %esp\n"
        "    fstp %st(0)\n"
        "    xorl %eax, %eax\n"
        "    cmpl $0xAAAA0001, %ebx\n"
        "    je 1f\n"
        "    orl $1, %eax\n"
        "1:  cmpl $0xAAAA0002, %esi\n"
        "    je 2f\n"
        "    orl $2, %eax\n"
        "2:  cmpl $0xAAAA0003, %edi\n"
        "    je 3f\n"
        "    orl $4, %eax\n"
        "3:  cmpl $0xAAAA0004, %ebp\n"
        "    je 4f\n"
        "    orl $8, %eax\n"
        "4:  popl %ebp\n"
        "    popl %edi\n"
        "    popl %esi\n"
        "    popl %ebx\n"
        "    ret\n");

namespace panelhost {
namespace {

struct LastCall : ModuleCallObserver {
    int entered = 0, calls = 0;
    bool returned_double = false;
    KeptState before{}, after{};
    void entering(const char*) override { ++entered; }
    void left(const char*, bool returns_double, const KeptState& b, const KeptState& a) override {
        ++calls;
        returned_double = returns_double;
        before = b;
        after = a;
    }
};

uint16_t control_word() {
    uint16_t word;
    __asm__ volatile("fnstcw %0" : "=m"(word));
    return word;
}
uint32_t flags() {
    uint32_t value;
    __asm__ volatile("pushfl; popl %0" : "=r"(value));
    return value;
}
int stack_top(uint16_t status) { return status >> 11 & 7; }

class ObservedCall : public ::testing::Test {
protected:
    void SetUp() override { observe_module_calls(&seen); }
    void TearDown() override { observe_module_calls(nullptr); }
    double call(double(__stdcall* routine)(uint32_t)) {
        uint32_t argument = 7;
        return call_module_double("test routine", reinterpret_cast<const void*>(routine), &argument, 1);
    }
    LastCall seen;
};

TEST_F(ObservedCall, ARoutineThatKeepsEverythingShowsTheSameStateOnBothSides) {
    EXPECT_EQ(call(keeps_everything), 1.0);
    EXPECT_EQ(seen.entered, 1);
    EXPECT_EQ(seen.calls, 1);
    EXPECT_TRUE(seen.returned_double);
    EXPECT_EQ(seen.before.ebx, seen.after.ebx);
    EXPECT_EQ(seen.before.esi, seen.after.esi);
    EXPECT_EQ(seen.before.edi, seen.after.edi);
    EXPECT_EQ(seen.before.ebp, seen.after.ebp);
    EXPECT_EQ(seen.before.x87_control, seen.after.x87_control);
    EXPECT_EQ(seen.before.mxcsr & 0xFFC0, seen.after.mxcsr & 0xFFC0);
    EXPECT_EQ(seen.after.eflags & 0x400, 0u);
    // One value pushed: its result.
    EXPECT_EQ((stack_top(seen.before.x87_status) - stack_top(seen.after.x87_status)) & 7, 1);
}

TEST_F(ObservedCall, ChangedRegistersAreSeenAndTheCallersAreBack) {
    uint32_t argument = 7;
    int32_t imbalance = 1;
    KeptState states[2];
    EXPECT_EQ(registers_after_observed_call(reinterpret_cast<const void*>(changes_ebx_and_esi), &argument, 1,
                                            &imbalance, states),
              0);
    EXPECT_EQ(imbalance, 0);
    EXPECT_EQ(states[1].ebx, 0x12345678u);
    EXPECT_EQ(states[1].esi, 0u);

    EXPECT_EQ(call(changes_ebx_and_esi), 1.0);
    EXPECT_EQ(seen.after.ebx, 0x12345678u);
    EXPECT_NE(seen.before.ebx, seen.after.ebx);
    EXPECT_EQ(seen.after.esi, 0u);
    EXPECT_NE(seen.before.esi, 0u);
    EXPECT_EQ(seen.before.edi, seen.after.edi);
    EXPECT_EQ(seen.before.ebp, seen.after.ebp);
}

TEST_F(ObservedCall, ChangedModesAreSeenAndTheCallersPutBack) {
    const uint16_t word = control_word();
    call(sets_single_precision);
    EXPECT_EQ(seen.after.x87_control & 0x0300, 0);
    EXPECT_EQ(seen.before.x87_control, word);
    EXPECT_EQ(control_word(), word);

    uint32_t mxcsr;
    __asm__ volatile("stmxcsr %0" : "=m"(mxcsr));
    call(sets_flush_to_zero);
    EXPECT_EQ(seen.after.mxcsr & 0x8000, 0x8000u);
    EXPECT_EQ(seen.before.mxcsr & 0x8000, 0u);
    uint32_t now;
    __asm__ volatile("stmxcsr %0" : "=m"(now));
    EXPECT_EQ(now & 0xFFC0, mxcsr & 0xFFC0);

    call(sets_direction_flag);
    EXPECT_EQ(seen.after.eflags & 0x400, 0x400u);
    EXPECT_EQ(flags() & 0x400, 0u);
}

TEST_F(ObservedCall, AValueLeftOnTheX87StackIsCounted) {
    const uint16_t word = control_word();
    call(leaves_two_values);
    EXPECT_EQ((stack_top(seen.before.x87_status) - stack_top(seen.after.x87_status)) & 7, 2);
    // The caller took one of them; clear the other for the tests after.
    __asm__ volatile("fninit; fldcw %0" : : "m"(word));
}

TEST(ObservedCallDeathTest, ARoutineLeavingItsArgumentsIsStillCaught) {
    EXPECT_EXIT(
        {
            LastCall seen;
            observe_module_calls(&seen);
            uint32_t argument = 7;
            call_module_double("cdecl routine", reinterpret_cast<const void*>(leaves_its_argument), &argument, 1);
        },
        ::testing::ExitedWithCode(6), "cdecl routine does not use the host calling convention: it left 4 bytes");
}

}  // namespace
}  // namespace panelhost
