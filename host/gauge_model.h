// What the host knows about each gauge once its records have been read and
// checked: the element tree in drawing order with each element's pictures,
// calibration and failure list, and the mouse areas with absolute boxes.
// Nothing here is built from a record that failed its checks.
#pragma once

#include <string>
#include <vector>

#include "host/gauge_module.h"

namespace panelhost {

struct CalibrationPoint {
    double value;
    double angle;  // degrees clockwise from three o'clock, as stored in the record
    double sweep;  // degrees clockwise from the first point along the scale
};

struct ElementModel {
    ELEMENT_HEADER* record = nullptr;
    ElementKind kind = ELEMENT_TYPE_STATIC_IMAGE;
    std::string name;        // "element 2 (needle, bitmap 102, child 1 of element 1)"
    std::string call_label;  // names its conversion routines in messages
    int parent = -1;
    const Bitmap* picture = nullptr;
    const Bitmap* window = nullptr;     // a moving image's mask (bitmap + 1)
    std::vector<const Bitmap*> icons;   // an icon's pictures, bitmap + 0, 1, ...
    std::vector<FAILURE_RECORD> failures;
    std::vector<CalibrationPoint> calibration;  // empty: result taken as an angle

    ELEMENT_NEEDLE* needle() const { return reinterpret_cast<ELEMENT_NEEDLE*>(record); }
    ELEMENT_MOVING_IMAGE* moving() const { return reinterpret_cast<ELEMENT_MOVING_IMAGE*>(record); }
    ELEMENT_ICON* icon() const { return reinterpret_cast<ELEMENT_ICON*>(record); }
};

struct MouseArea {
    const MOUSERECT* record = nullptr;
    int index = 0;   // position in the gauge's list, from 1
    int parent = -1; // index into GaugeModel::mouse_areas
    int depth = 0;
    int x = 0, y = 0, width = 0, height = 0;  // on the face
};

struct GaugeModel {
    GAUGEHDR* header = nullptr;
    int table_index = 0;
    std::string name;
    std::vector<ElementModel> elements;  // drawing order: parents before children, list order
    std::vector<ELEMENT_HEADER*> roots;
    int width = 0, height = 0;  // the face: the first root's picture
    std::vector<MouseArea> mouse_areas;
};

// Reads every gauge reachable from Linkage, checking each record before it
// is read. Gauges with errors are left out; `report` says why.
std::vector<GaugeModel> read_gauges(GaugeModule& module, Report& report);

}  // namespace panelhost
