// The seven routines of every gauge header forward that gauge's own root
// element to the host's element-list services, one call each, with the
// install handle and generate phase passed through bit for bit.
#include <gtest/gtest.h>

#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"

namespace {

namespace header = host_layout::gauge_header;

class SharedRoutines : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        gauge = corvalenx().gauge(GetParam());
        ASSERT_FALSE(gauge.null());
    }
    void call(size_t routine) { routine_at<PlainRoutine>(gauge, routine)(); }
    void call(size_t routine, uint32_t word) { routine_at<WordRoutine>(gauge, routine)(word); }

    Record gauge;
};

TEST_P(SharedRoutines, EachRoutineActsOnItsOwnGaugesRoot) {
    void* root = root_of(gauge).address();
    RecordingPanels panels;
    call(header::query);
    call(header::install, 0xDEADBEEF);
    call(header::initialize);
    call(header::update);
    call(header::generate, 0x80000001);
    call(header::draw);
    call(header::kill);
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
    for (uint32_t word : {0u, 1u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        RecordingPanels panels;
        call(header::install, word);
        call(header::generate, word);
        ASSERT_EQ(panels.calls.size(), 2u);
        EXPECT_EQ(panels.calls[0].args[1], word);
        EXPECT_EQ(panels.calls[1].args[1], word);
    }
}

TEST_P(SharedRoutines, RootIsLookedUpAfreshOnEveryCall) {
    uint8_t stand_in[host_layout::static_image::size] = {};
    void* stand_in_list[] = {stand_in, nullptr};
    const uint32_t stored = gauge.word(header::element_list);

    RecordingPanels panels;
    call(header::update);
    gauge.set_word(header::element_list, uint32_t(uintptr_t(stand_in_list)));
    call(header::update);
    gauge.set_word(header::element_list, stored);
    call(header::update);
    void* root = root_of(gauge).address();
    EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{
                                service_call("element_list_update", root),
                                service_call("element_list_update", stand_in),
                                service_call("element_list_update", root),
                            }));
}

std::vector<std::string> gauge_names() {
    std::vector<std::string> names;
    for (Record g : corvalenx().gauges()) names.push_back(g.text(header::name));
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

}  // namespace
