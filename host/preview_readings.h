// Readings a preview shows for a variable the host's catalogue does not
// know, taken from what the records say of it: the span of the calibration
// tables and the axis ranges of the elements that read it, so every moving
// part of any module moves on a preview sheet.
#pragma once

#include <array>
#include <cstdint>
#include <map>

#include "host/reader/gauge_model.h"

namespace panelhost {

// For each token an element of `gauge` reads (a needle's, an axis's or an
// icon's variable), three readings across its span: a fifth, a half and
// four fifths of the way from its low end. A calibrated needle's span is
// its table's, an axis's its range, an icon's its images; a needle turned
// by its result directly spans a full turn. Tokens the catalogue knows are
// left out: they keep the catalogue's own readings.
std::map<uint32_t, std::array<double, 3>> preview_readings_from_records(const GaugeModel& gauge);

}  // namespace panelhost
