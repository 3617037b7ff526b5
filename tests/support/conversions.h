// Calling a gauge's conversion routine the way the host does: write the input
// into the element's variable record, then call through the routine pointer
// stored in the element record, with the element as its one argument.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <iomanip>
#include <limits>
#include <sstream>

#include "tests/support/loaded_module.h"

// Where an element keeps a variable and the routine that converts it.
struct Axis {
    size_t variable;
    size_t routine;
};
inline constexpr Axis needle_axis{host_layout::needle::variable, host_layout::needle::routine};
inline constexpr Axis x_axis{host_layout::moving_image::x_variable, host_layout::moving_image::x_routine};
inline constexpr Axis y_axis{host_layout::moving_image::y_variable, host_layout::moving_image::y_routine};

// The routine at `axis`, called on what the element's variable holds now.
inline double call_routine(Record element, Axis axis) {
    return routine_at<ConversionRoutine>(element, axis.routine)(element.address());
}

inline double convert(Record element, Axis axis, double input) {
    element.set_number(axis.variable + host_layout::variable::value, input);
    return call_routine(element, axis);
}

inline double convert(Record needle, double input) { return convert(needle, needle_axis, input); }
inline double convert_x(Record image, double input) { return convert(image, x_axis, input); }
inline double convert_y(Record image, double input) { return convert(image, y_axis, input); }

// A binary-coded-decimal variable: the 32-bit word in the value's first four
// bytes, the other four left as the host might leave them.
inline double convert_y_word(Record image, uint32_t word, uint32_t upper = 0) {
    const size_t value = y_axis.variable + host_layout::variable::value;
    image.set_word(value, word);
    image.set_word(value + 4, upper);
    return call_routine(image, y_axis);
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
