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

TEST(GaugeHeaders, NoTwoGaugesShareARecord) {
    std::vector<const void*> seen;
    for (GAUGEHDR* gauge : corvalenx().gauges()) {
        for (const void* record : {(const void*)gauge->elements_list, (const void*)root_of(gauge),
                                   (const void*)gauge->mouse_rect}) {
            EXPECT_EQ(std::find(seen.begin(), seen.end(), record), seen.end()) << gauge->gauge_name;
            seen.push_back(record);
        }
    }
}

}  // namespace
