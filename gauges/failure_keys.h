// The host's failure keys the gauges list. What puts a key in force is the
// host's business; here each is named after the instruments that list it.
#pragma once

#include <stdint.h>

namespace failure_key {

// Both listed, in this order, by the needles of "Airspeed", "Manifold
// Pressure" and "Radar_Altimeter".
inline constexpr uint32_t dial_needles_first = 6;
inline constexpr uint32_t dial_needles_second = 3;

// Listed by "Engine_Tachometer", "Fuel_Quantity", "Engine_Instruments",
// "LABS_Instrument" and "Direction_Finder".
inline constexpr uint32_t most_instruments = 20;

inline constexpr uint32_t fuel_quantity = 10;
inline constexpr uint32_t direction_finder = 11;

}  // namespace failure_key
