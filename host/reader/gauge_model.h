// What the host knows about a module once its records have been read and
// checked: Linkage and ImportTable, and for each gauge its element tree in
// drawing order (each element's record as stored, its pictures, calibration
// and failures) and its mouse areas with their boxes on the face. Every
// address is one in the image the records were read from (the file at its
// preferred base, or the loaded library). Nothing here is built from a
// record that failed its checks.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/reader/address_space.h"
#include "host/reader/bitmap_resources.h"
#include "host/reader/stored_records.h"
#include "host/base/report.h"

namespace panelhost {

struct CalibrationPoint {
    double value;
    double angle;  // degrees clockwise from three o'clock, from the point and the pivot
    double sweep;  // degrees clockwise from the first point along the scale
};

struct ElementModel {
    uint32_t address = 0;  // of the record
    stored::ElementHeader header{};
    uint32_t kind = stored::static_image;  // one this host draws
    std::string name;        // "element 2 (needle, bitmap 102, child 1 of element 1)"
    std::string call_label;  // names its conversion routines in messages
    int parent = -1;
    std::vector<int> children;  // indexes into the gauge's elements, in list order
    const Bitmap* picture = nullptr;
    const Bitmap* window = nullptr;    // a moving image's mask (bitmap + 1)
    std::vector<const Bitmap*> icons;  // an icon's pictures, bitmap + 0, 1, ...
    std::vector<stored::FailureRecord> failures;
    // A needle's table as stored, and each point's angle about the pivot;
    // both empty for a needle whose result is taken as an angle.
    std::vector<stored::CalibrationPoint> calibration_points;
    std::vector<CalibrationPoint> calibration;
    // The whole record as stored, in the member for its kind.
    stored::Needle needle{};
    stored::MovingImage moving{};
    stored::Icon icon{};

    // A field inside the record, for writing it: field(offsetof(stored::Needle, variable)).
    uint32_t field(size_t offset) const { return address + uint32_t(offset); }
};

struct MouseArea {
    uint32_t address = 0;
    stored::MouseRect record{};
    int index = 0;    // position in the gauge's list, from 1
    int parent = -1;  // index into GaugeModel::mouse_areas
    int depth = 0;
    int x = 0, y = 0, width = 0, height = 0;  // on the face
};

struct GaugeModel {
    uint32_t address = 0;  // of its header
    stored::GaugeHeader header{};
    int table_index = 0;
    std::string name;  // as stored; printable, for a gauge that passed
    std::vector<ElementModel> elements;  // drawing order: parents before children, list order
    std::vector<uint32_t> roots;
    int width = 0, height = 0;  // the face: the first root's picture
    std::vector<MouseArea> mouse_areas;
};

struct ModuleModel {
    uint32_t linkage = 0;
    stored::Linkage linkage_record{};
    uint32_t import_table = 0;
    uint32_t panels_entry = 0;  // the ImportTable entry the service table's address goes into
    std::vector<GaugeModel> gauges;

    const GaugeModel* gauge(std::string_view name) const {
        for (const GaugeModel& g : gauges)
            if (g.name == name) return &g;
        return nullptr;
    }
};

// Reads every record reachable from ImportTable and Linkage in `image`,
// checking each before it is read: where it lies (inside one section that
// allows what the host does with it), its fields, every list bounded and
// ended. One fault is one error, naming the record and the field; a record
// is followed no further after its first fault. Gauges with errors are
// left out of the model.
ModuleModel read_module(const AddressSpace& image, uint32_t import_table, uint32_t linkage, BitmapResources& bitmaps,
                        Report& report);

const char* element_kind_name(uint32_t kind);

}  // namespace panelhost
