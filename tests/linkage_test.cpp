// ImportTable and Linkage as the host first sees them.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"

namespace {

const std::vector<std::string> table_order = {
    "Airspeed",        "Manifold Pressure", "Engine_Tachometer", "Fuel_Quantity",
    "Engine_Instruments", "Radar_Altimeter", "LABS_Instrument",  "Direction_Finder",
};

bool inside_module(const void* p) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(p, &info, sizeof info);
    return info.AllocationBase == corvalenx().handle;
}

TEST(ImportTable, AsStoredAsksForThePanelServicesOnly) {
    // Nothing has touched the table yet in this program.
    const GAUGESIMPORT* entries = corvalenx().import_table;
    EXPECT_EQ(entries[0].id, 0x0000000Fu);
    EXPECT_EQ(entries[0].pointer, nullptr);
    EXPECT_EQ(entries[1].id, 0u);
    EXPECT_EQ(entries[1].pointer, nullptr);
}

TEST(Linkage, HeaderWords) {
    const uint32_t* words = corvalenx().linkage_words;
    EXPECT_EQ(words[0], 0x13u);
    EXPECT_NE(words[1], 0u);
    EXPECT_EQ(words[1], words[2]) << "init and deinit are one and the same routine";
    EXPECT_TRUE(inside_module(reinterpret_cast<void*>(words[1])));
    EXPECT_EQ(words[3], 0u);
    EXPECT_EQ(words[4], 0u);
    EXPECT_EQ(words[5], 0u);
}

TEST(Linkage, InitAndDeinitCallNothing) {
    RecordingPanels panels;
    auto routine = reinterpret_cast<ModuleRoutine>(corvalenx().linkage_words[1]);
    routine();
    routine();
    EXPECT_TRUE(panels.calls.empty());
}

TEST(Linkage, GaugeTableHoldsTheGaugesInTableOrder) {
    std::vector<std::string> names;
    for (GAUGEHDR* gauge : corvalenx().gauges()) {
        ASSERT_TRUE(inside_module(gauge));
        names.push_back(gauge->gauge_name);
    }
    // All eight, in table order; the table ends with the null after them.
    EXPECT_EQ(names, table_order);
}

TEST(Linkage, GaugeNamesAreStoredExactly) {
    for (GAUGEHDR* gauge : corvalenx().gauges()) {
        const char* name = gauge->gauge_name;
        ASSERT_TRUE(inside_module(name));
        size_t length = std::strlen(name);
        EXPECT_NE(std::find(table_order.begin(), table_order.end(), std::string(name, length)),
                  table_order.end())
            << "\"" << name << "\"";
    }
}

TEST(GaugeHeaders, CommonFields) {
    for (GAUGEHDR* gauge : corvalenx().gauges()) {
        SCOPED_TRACE(gauge->gauge_name);
        EXPECT_EQ(gauge->gauge_header_version, 700u);
        ASSERT_NE(gauge->elements_list, nullptr);
        EXPECT_NE(gauge->elements_list[0], nullptr);
        EXPECT_EQ(gauge->elements_list[1], nullptr) << "one root, then null";
        EXPECT_EQ(gauge->reserved, 0u);
        EXPECT_EQ(gauge->default_size_mm, 100u);
        for (uint32_t word : gauge->host_owned_48) EXPECT_EQ(word, 0u);
        for (uint32_t word : gauge->host_owned_88) EXPECT_EQ(word, 0u);
        EXPECT_NE(gauge->mouse_rect, nullptr);
        EXPECT_NE(gauge->gauge_callback, nullptr);
        EXPECT_EQ(root_of(gauge)->gauge_header, gauge);
        EXPECT_EQ(root_of(gauge)->element_type, ELEMENT_TYPE_STATIC_IMAGE);
    }
}

// Every record reachable from a gauge's header, with its size: the header,
// its name, element list and mouse areas, each element with its child list,
// failure list and calibration table.
struct Record {
    const void* address;
    size_t size;
    std::string what;
};

// Lists are short; one without its end record is reported, not followed on.
constexpr size_t longest_list = 64;

size_t records_in_list(const FAILURE_RECORD* list) {
    size_t n = 1;
    while (list[n - 1].key && n < longest_list) ++n;
    EXPECT_LT(n, longest_list) << "failure list without an end record";
    return n;
}

size_t records_in_list(const MOUSERECT* list) {
    size_t n = 1;
    while (list[n - 1].rect_type != MOUSE_RECT_EOL && n < longest_list) ++n;
    EXPECT_LT(n, longest_list) << "mouse-area list without an end record";
    return n;
}

void collect_element(ELEMENT_HEADER* element, std::vector<Record>& records) {
    static const size_t size_of_kind[] = {sizeof(ELEMENT_STATIC_IMAGE), sizeof(ELEMENT_NEEDLE), 0, 0,
                                          sizeof(ELEMENT_ICON), sizeof(ELEMENT_MOVING_IMAGE)};
    std::string bitmap = "element " + std::to_string(element->resource_id);
    size_t size = element->element_type < std::size(size_of_kind) ? size_of_kind[element->element_type] : 0;
    if (size == 0) {
        ADD_FAILURE() << bitmap << " is of unknown kind " << element->element_type;
        size = sizeof(ELEMENT_HEADER);
    }
    records.push_back({element, size, bitmap});
    if (element->failures) {
        records.push_back({element->failures, sizeof(FAILURE_RECORD) * records_in_list(element->failures),
                           "failure list of " + bitmap});
    }
    if (element->element_type == ELEMENT_TYPE_NEEDLE) {
        auto* needle = reinterpret_cast<ELEMENT_NEEDLE*>(element);
        if (needle->nonlinearity) {
            records.push_back({needle->nonlinearity, sizeof(NONLINEARITY) * needle->point_count,
                               "calibration table of " + bitmap});
        }
    }
    if (element->children) {
        auto children = children_of(element);
        records.push_back({element->children, sizeof(ELEMENT_HEADER*) * (children.size() + 1),
                           "child list of " + bitmap});
        for (ELEMENT_HEADER* child : children) collect_element(child, records);
    }
}

std::vector<Record> records_of(GAUGEHDR* gauge) {
    std::vector<Record> records = {
        {gauge, sizeof(GAUGEHDR), "header"},
        {gauge->gauge_name, std::strlen(gauge->gauge_name) + 1, "name"},
        {gauge->elements_list, 2 * sizeof(ELEMENT_HEADER*), "element list"},
        {gauge->mouse_rect, sizeof(MOUSERECT) * records_in_list(gauge->mouse_rect), "mouse areas"},
    };
    collect_element(root_of(gauge), records);
    return records;
}

bool overlap(const Record& a, const Record& b) {
    auto* a_start = static_cast<const char*>(a.address);
    auto* b_start = static_cast<const char*>(b.address);
    return a_start < b_start + b.size && b_start < a_start + a.size;
}

// Elements of one gauge may share its failure list; nothing at all is shared
// between gauges, not even two lists that happen to hold the same records.
TEST(GaugeHeaders, NoTwoGaugesShareARecord) {
    std::vector<GAUGEHDR*> gauges = corvalenx().gauges();
    std::vector<std::vector<Record>> records;
    for (GAUGEHDR* gauge : gauges) records.push_back(records_of(gauge));
    for (size_t g = 0; g < gauges.size(); ++g) {
        for (size_t h = g + 1; h < gauges.size(); ++h) {
            for (const Record& mine : records[g]) {
                for (const Record& theirs : records[h]) {
                    EXPECT_FALSE(overlap(mine, theirs))
                        << gauges[g]->gauge_name << " " << mine.what << " and " << gauges[h]->gauge_name
                        << " " << theirs.what;
                }
            }
        }
    }
}

bool writable(const void* p) {
    MEMORY_BASIC_INFORMATION info{};
    VirtualQuery(p, &info, sizeof info);
    return info.Protect & (PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY);
}

// The host writes into elements, variable records and the angles of every
// calibration point while a gauge is installed.
TEST(GaugeHeaders, RecordsTheHostWritesAreWritable) {
    for (GAUGEHDR* gauge : corvalenx().gauges()) {
        for (const Record& record : records_of(gauge)) {
            if (record.what.rfind("element ", 0) == 0 || record.what.rfind("calibration table", 0) == 0) {
                EXPECT_TRUE(writable(record.address)) << gauge->gauge_name << " " << record.what;
                EXPECT_TRUE(writable(static_cast<const char*>(record.address) + record.size - 1))
                    << gauge->gauge_name << " " << record.what;
            }
        }
    }
}

}  // namespace
