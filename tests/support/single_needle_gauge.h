// Fixture for the gauges whose dial face carries exactly one child, a
// calibrated needle: found by name through the gauge table, as a host would.
#pragma once

#include <gtest/gtest.h>

#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"

class SingleNeedleGauge : public ::testing::Test {
protected:
    explicit SingleNeedleGauge(const char* name) : name_(name) {}

    void SetUp() override {
        gauge = corvalenx().gauge(name_);
        ASSERT_FALSE(gauge.null());
        face = root_of(gauge);
        auto children = children_of(face);
        ASSERT_EQ(children.size(), 1u) << name_;
        needle = children[0];
    }

    // The gauge's auxiliary record, found the way the host meets it: as the
    // argument of initialize_var during the pre-install service. Null if the
    // callback makes any other call.
    Record auxiliary_record() {
        RecordingPanels panels;
        routine_at<CallbackRoutine>(gauge, host_layout::gauge_header::callback)(gauge.address(),
                                                                          host_layout::pre_install_service, 0);
        if (panels.calls.size() != 1 || panels.calls[0].service != "initialize_var") return {};
        return Record(reinterpret_cast<void*>(panels.calls[0].args[0]));
    }

    Record gauge, face, needle;

private:
    const char* name_;
};
