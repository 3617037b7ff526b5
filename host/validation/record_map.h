// Where a loaded module's records lie and, byte by byte, whose each field
// is: the fields the module sets (the host only reads them) and the host's
// own (variable values, calibration angles, the words between set fields).
// validate names the record and field a module call wrote into by it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/reader/gauge_model.h"

namespace panelhost {

enum class RecordKind {
    import_entry, linkage, gauge_header, gauge_name, element_list, child_list, failure_list, mouse_areas,
    static_image, needle, moving_image, icon, calibration_table, variable,
};

struct RecordSpan {
    uint32_t start = 0;
    uint32_t size = 0;
    RecordKind kind{};
    int gauge = -1;    // index in the module's gauge table; -1 for Linkage and ImportTable
    std::string name;  // "element 2 (needle, bitmap 102, child 1 of element 1) of \"Airspeed\""
};

struct RecordField {
    std::string name;  // "position", "calibration point 3's angle"
    bool host_owned;
};

class RecordMap {
public:
    explicit RecordMap(const ModuleModel& model);

    // The record holding `address`; null when none does.
    const RecordSpan* find(uint32_t address) const;
    // A variable record the host was handed at run time (an auxiliary
    // variable), taken as one of `gauge`'s records; nothing if it lies in
    // a record already.
    void add_variable(uint32_t address, int gauge, const std::string& gauge_name);

    static RecordField field(const RecordSpan& record, uint32_t offset);
    const std::vector<RecordSpan>& records() const { return spans_; }

private:
    void add(uint32_t start, uint64_t size, RecordKind kind, int gauge, std::string name);
    std::vector<RecordSpan> spans_;  // sorted by start, not overlapping
};

}  // namespace panelhost
