// The seven routines of every gauge header forward that gauge's own root
// element to the host's element-list services, one call each, with the
// install handle and generate phase passed through bit for bit.
#include <gtest/gtest.h>

#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"

namespace {

class SharedRoutines : public ::testing::TestWithParam<std::string> {
protected:
    GAUGEHDR* gauge() const { return corvalenx().gauge(GetParam()); }
};

TEST_P(SharedRoutines, EachRoutineActsOnItsOwnGaugesRoot) {
    GAUGEHDR* g = gauge();
    ASSERT_NE(g, nullptr);
    ELEMENT_HEADER* root = root_of(g);
    RecordingPanels panels;
    const GaugeRoutines& r = g->routines;
    r.query();
    r.install(0xDEADBEEF);
    r.initialize();
    r.update();
    r.generate(0x80000001);
    r.draw();
    r.kill();
    EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{
                                service_call("element_list_query", root),
                                service_call("element_list_install", root, 0xDEADBEEFu),
                                service_call("element_list_initialize", root),
                                service_call("element_list_update", root),
                                service_call("element_list_generate", root, 0x80000001u),
                                service_call("element_list_plot", root),
                                service_call("element_list_kill", root),
                            }));
}

TEST_P(SharedRoutines, HandleAndPhasePassThroughWhateverTheirBits) {
    GAUGEHDR* g = gauge();
    ASSERT_NE(g, nullptr);
    for (uint32_t word : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        RecordingPanels panels;
        g->routines.install(word);
        g->routines.generate(word);
        ASSERT_EQ(panels.calls.size(), 2u);
        EXPECT_EQ(panels.calls[0].args[1], word);
        EXPECT_EQ(panels.calls[1].args[1], word);
    }
}

TEST_P(SharedRoutines, RootIsLookedUpAfreshOnEveryCall) {
    GAUGEHDR* g = gauge();
    ASSERT_NE(g, nullptr);
    ELEMENT_HEADER stand_in{};
    ELEMENT_HEADER* stand_in_list[] = {&stand_in, nullptr};
    ELEMENT_HEADER** stored = g->elements_list;

    RecordingPanels panels;
    g->routines.update();
    g->elements_list = stand_in_list;
    g->routines.update();
    g->elements_list = stored;
    g->routines.update();
    EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{
                                service_call("element_list_update", root_of(g)),
                                service_call("element_list_update", &stand_in),
                                service_call("element_list_update", root_of(g)),
                            }));
}

std::vector<std::string> gauge_names() {
    std::vector<std::string> names;
    for (GAUGEHDR* g : corvalenx().gauges()) names.push_back(g->gauge_name);
    return names;
}

std::string test_name(const ::testing::TestParamInfo<std::string>& info) {
    std::string name = info.param;
    for (char& c : name) {
        if (c == ' ') c = '_';
    }
    return name;
}

INSTANTIATE_TEST_SUITE_P(EveryGauge, SharedRoutines, ::testing::ValuesIn(gauge_names()), test_name);

TEST(GaugeCallbacks, TheEmptyCallbackCallsNothing) {
    for (GAUGEHDR* g : corvalenx().gauges()) {
        std::string name = g->gauge_name;
        if (name == "Fuel_Quantity" || name == "Radar_Altimeter") continue;
        SCOPED_TRACE(name);
        RecordingPanels panels;
        for (int32_t code : {-1, 0, 1, 2, 3, 4, 10, 0x7FFFFFFF}) g->gauge_callback(g, code, 0xFFFFFFFF);
        EXPECT_TRUE(panels.calls.empty());
    }
}

}  // namespace
