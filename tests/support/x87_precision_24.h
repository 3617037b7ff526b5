// A host may leave the x87 precision control at 24 bits. Within the scope of
// this object it is, so a test can show that conversion results are still
// exact binary64 values.
#pragma once

#include <float.h>

#include <cstdint>

class X87PrecisionAt24Bits {
public:
    X87PrecisionAt24Bits() : saved_(_controlfp(0, 0) & _MCW_PC) { _controlfp(_PC_24, _MCW_PC); }
    ~X87PrecisionAt24Bits() { _controlfp(saved_, _MCW_PC); }
    X87PrecisionAt24Bits(const X87PrecisionAt24Bits&) = delete;
    X87PrecisionAt24Bits& operator=(const X87PrecisionAt24Bits&) = delete;

    // Read from the FPU itself, not from the runtime's idea of it.
    static bool in_effect() {
        uint16_t control_word;
        asm volatile("fnstcw %0" : "=m"(control_word));
        return (control_word & 0x0300) == 0;  // precision control 00: 24-bit significand
    }

private:
    unsigned saved_;
};
