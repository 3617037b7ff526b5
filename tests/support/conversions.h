// Calling a gauge's conversion routine the way the host does: write the input
// into the element's variable record, then call through the routine pointer
// stored in the element record.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <limits>
#include <sstream>

#include "module/records/element_records.h"

inline double convert(ELEMENT_NEEDLE* needle, double input) {
    needle->source_var.value.number = input;
    return needle->update(needle);
}

inline double convert_x(ELEMENT_MOVING_IMAGE* image, double input) {
    image->source_var_x.value.number = input;
    return image->update_x(image);
}

inline double convert_y(ELEMENT_MOVING_IMAGE* image, double input) {
    image->source_var_y.value.number = input;
    return image->update_y(image);
}

// A binary-coded-decimal variable: the word in the value's first four bytes,
// the other four left as the host might leave them.
inline double convert_y_word(ELEMENT_MOVING_IMAGE* image, uint32_t word, uint32_t upper = 0) {
    std::memcpy(image->source_var_y.value.bytes, &word, 4);
    std::memcpy(image->source_var_y.value.bytes + 4, &upper, 4);
    return image->update_y(image);
}

inline uint64_t bits_of(double d) {
    uint64_t bits;
    std::memcpy(&bits, &d, sizeof bits);
    return bits;
}

// Exact comparison: the same binary64 value bit for bit, any NaN matching
// any NaN.
inline ::testing::AssertionResult same_double(double actual, double expected) {
    if (std::isnan(actual) && std::isnan(expected)) return ::testing::AssertionSuccess();
    if (bits_of(actual) == bits_of(expected)) return ::testing::AssertionSuccess();
    // AssertionResult streams each piece separately, so format in one go.
    std::ostringstream text;
    text << std::setprecision(17) << "got " << actual << " (0x" << std::hex << bits_of(actual)
         << "), expected " << std::dec << expected << " (0x" << std::hex << bits_of(expected) << ")";
    return ::testing::AssertionFailure() << text.str();
}

inline constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();
inline constexpr double infinity = std::numeric_limits<double>::infinity();
