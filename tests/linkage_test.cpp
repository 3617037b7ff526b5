// ImportTable and Linkage as the host first sees them, and the records the
// gauge table leads to, taken together.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"

namespace {

namespace layout = host_layout;

TEST(ImportTable, AsStoredAsksForThePanelServicesOnly) {
    // Nothing has touched the table yet in this program.
    const Record entries = corvalenx().import_table;
    EXPECT_EQ(entries.word(layout::import_entry::id), 0x0000000Fu);
    EXPECT_EQ(entries.word(layout::import_entry::pointer), 0u);
    EXPECT_EQ(entries.word(layout::import_entry::size + layout::import_entry::id), 0u);
    EXPECT_EQ(entries.word(layout::import_entry::size + layout::import_entry::pointer), 0u);
}

TEST(Linkage, HeaderWords) {
    const Record linkage = corvalenx().linkage;
    EXPECT_EQ(linkage.word(layout::linkage::module_id), 0x13u);
    EXPECT_EQ(linkage.word(layout::linkage::init), linkage.word(layout::linkage::deinit))
        << "init and deinit are one and the same routine";
    EXPECT_TRUE(corvalenx().holds_code(linkage.at(layout::linkage::init).address()));
    EXPECT_EQ(linkage.word(layout::linkage::flags), 0u);
    EXPECT_EQ(linkage.word(layout::linkage::priority), 0u);
    EXPECT_EQ(linkage.word(layout::linkage::version), 0u);
}

TEST(Linkage, InitAndDeinitCallNothing) {
    RecordingPanels panels;
    routine_at<PlainRoutine>(corvalenx().linkage, layout::linkage::init)();
    routine_at<PlainRoutine>(corvalenx().linkage, layout::linkage::deinit)();
    EXPECT_TRUE(panels.calls.empty());
}

// The names byte for byte, in table order; the table ends with the null after
// them.
TEST(Linkage, GaugeTableHoldsTheGaugesInTableOrder) {
    std::vector<std::string> names;
    for (Record gauge : corvalenx().gauges()) {
        ASSERT_TRUE(corvalenx().holds(gauge.address()));
        ASSERT_TRUE(corvalenx().holds(gauge.at(layout::gauge_header::name).address()));
        names.push_back(gauge.text(layout::gauge_header::name));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"Airspeed", "Manifold Pressure", "Engine_Tachometer", "Fuel_Quantity",
                                               "Engine_Instruments", "Radar_Altimeter", "LABS_Instrument",
                                               "Direction_Finder"}));
}

// Every record reachable from a gauge's header, with its size: the header,
// its name, element list and mouse areas, each element with its child list,
// failure list and calibration table.
struct Extent {
    const uint8_t* start;
    size_t size;
    std::string what;
    bool host_writes;
};

std::vector<Extent> records_of(Record gauge) {
    namespace h = layout::gauge_header;
    std::vector<Extent> records = {
        {gauge.address(), h::size, "header", false},
        {gauge.at(h::name).address(), gauge.text(h::name).size() + 1, "name", false},
        {gauge.at(h::element_list).address(), 2 * layout::pointer_size, "element list", false},
        {gauge.at(h::mouse_areas).address(),
         layout::mouse_area::size * records_in_list(gauge.at(h::mouse_areas), layout::mouse_area::size),
         "mouse areas", false},
    };
    for (Record element : elements_of(gauge)) {
        const std::string name = "element " + std::to_string(element.word(layout::element::bitmap));
        // The host writes into elements and the angles of calibration points.
        records.push_back({element.address(), size_of_element(element), name, true});
        if (Record failures = element.at(layout::element::failures); !failures.null()) {
            records.push_back({failures.address(),
                               layout::failure::size * records_in_list(failures, layout::failure::size),
                               "failure list of " + name, false});
        }
        if (Record children = element.at(layout::element::children); !children.null()) {
            records.push_back({children.address(), layout::pointer_size * (children_of(element).size() + 1),
                               "child list of " + name, false});
        }
        if (element.word(layout::element::kind) == layout::element::needle) {
            if (Record table = element.at(layout::needle::table); !table.null()) {
                records.push_back({table.address(),
                                   layout::calibration_point::size * element.word(layout::needle::point_count),
                                   "calibration table of " + name, true});
            }
        }
    }
    return records;
}

bool overlap(const Extent& a, const Extent& b) {
    return a.start < b.start + b.size && b.start < a.start + a.size;
}

// Elements of one gauge may share its failure list; nothing at all is shared
// between gauges, not even two lists that happen to hold the same records.
TEST(GaugeRecords, NoTwoGaugesShareARecord) {
    std::vector<Record> gauges = corvalenx().gauges();
    std::vector<std::vector<Extent>> records;
    for (Record gauge : gauges) records.push_back(records_of(gauge));
    for (size_t g = 0; g < gauges.size(); ++g) {
        for (size_t h = g + 1; h < gauges.size(); ++h) {
            for (const Extent& mine : records[g]) {
                for (const Extent& theirs : records[h]) {
                    EXPECT_FALSE(overlap(mine, theirs))
                        << gauges[g].text(layout::gauge_header::name) << " " << mine.what << " and "
                        << gauges[h].text(layout::gauge_header::name) << " " << theirs.what;
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

TEST(GaugeRecords, RecordsTheHostWritesAreWritable) {
    for (Record gauge : corvalenx().gauges()) {
        for (const Extent& record : records_of(gauge)) {
            if (!record.host_writes) continue;
            EXPECT_TRUE(writable(record.start)) << gauge.text(layout::gauge_header::name) << " " << record.what;
            EXPECT_TRUE(writable(record.start + record.size - 1))
                << gauge.text(layout::gauge_header::name) << " " << record.what;
        }
    }
}

}  // namespace
