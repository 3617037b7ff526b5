// A gauge's records described without running any of its code: per element
// its kind, pictures, place, variables, ranges, calibration, rate limit and
// failures; its mouse areas as a tree. As text for people and as JSON for
// tools (describe, mouse --list, and the area under a point for mouse).
#pragma once

#include <cstdint>
#include <string>

#include "host/reader/gauge_model.h"
#include "host/output.h"

namespace panelhost {

std::string gauge_text(const GaugeModel& gauge);
// A variable by token: {token, name, unit} from the host's catalogue.
Json variable_json(uint32_t token);
Json gauge_json(const GaugeModel& gauge);

// The mouse areas, one line each, nested parents indented under theirs.
std::string mouse_tree_text(const GaugeModel& gauge, int indent);
// The outermost areas, each with its "children".
Json mouse_tree_json(const GaugeModel& gauge);
// One area without its children.
Json mouse_area_json(const MouseArea& area);

}  // namespace panelhost
