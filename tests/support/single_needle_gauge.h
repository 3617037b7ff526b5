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
        ASSERT_NE(gauge, nullptr);
        face = as<ELEMENT_STATIC_IMAGE>(root_of(gauge));
        auto children = children_of(&face->header);
        ASSERT_EQ(children.size(), 1u) << name_;
        needle = as<ELEMENT_NEEDLE>(children[0]);
    }

    // The gauge's auxiliary record, found the way the host meets it: as the
    // argument of initialize_var during the pre-install service. Null if the
    // callback makes any other call.
    MODULE_VAR* auxiliary_record() {
        RecordingPanels panels;
        gauge->gauge_callback(gauge, PANEL_SERVICE_PRE_INSTALL, 0);
        if (panels.calls.size() != 1 || panels.calls[0].service != "initialize_var") return nullptr;
        return reinterpret_cast<MODULE_VAR*>(panels.calls[0].args[0]);
    }

    GAUGEHDR* gauge = nullptr;
    ELEMENT_STATIC_IMAGE* face = nullptr;
    ELEMENT_NEEDLE* needle = nullptr;

private:
    const char* name_;
};
