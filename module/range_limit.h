// The limiting rule most conversion routines end with. The tests run in this
// order on purpose: a value above `high` gives high, one at or above `low`
// passes, and everything else — below `low`, or not a number — gives low.
#pragma once

constexpr double range_limit(double value, double low, double high) {
    if (value > high) return high;
    if (value >= low) return value;
    return low;
}
