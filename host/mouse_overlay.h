// A gauge's mouse areas drawn over its picture, for finding where to click:
// each area's box outlined in a colour of its own and numbered as in its
// list, a cursor shown as an arrow in the middle of its box, and under the
// gauge a legend giving each area's number, kind, box, cursor, help
// identifier and key event. Small areas stay readable: the words are in the
// legend, the boxes carry only a number and an arrow.
#pragma once

#include "host/reader/gauge_model.h"
#include "host/base/image.h"

namespace panelhost {

// `picture` (the gauge drawn at its face's size) with the areas over it
// and the legend below; as wide as the legend needs.
Image with_mouse_areas(const Image& picture, const GaugeModel& gauge);

// The colour area `index` (into gauge.mouse_areas) is outlined in.
Rgba mouse_area_colour(size_t index);

}  // namespace panelhost
