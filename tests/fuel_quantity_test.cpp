// "Fuel_Quantity": the needle multiplies the fuel quantity by the fuel weight
// per unit, which the gauge binds and refreshes itself.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/loaded_module.h"
#include "tests/support/recording_panels.h"
#include "tests/support/single_needle_gauge.h"

namespace {

constexpr uint32_t fuel_weight_token = 306;

class FuelQuantity : public SingleNeedleGauge {
protected:
    FuelQuantity() : SingleNeedleGauge("Fuel_Quantity") {}
};

TEST_F(FuelQuantity, RecordsAsTheHostReadsThem) {
    EXPECT_TRUE(stored_as(gauge, gauge_header(gauge, gauge->gauge_callback)));
    EXPECT_NE(gauge->gauge_callback, corvalenx().gauge("Airspeed")->gauge_callback)
        << "a callback of its own, not the empty one";
    EXPECT_STREQ(gauge->gauge_name, "Fuel_Quantity");

    FAILURE_RECORD* failures = face->header.failures;
    EXPECT_TRUE(stored_as(face, RecordBytes(96).element_header(0, 120, {0, 0}, {0, 0}, gauge,
                                                               face->header.children, failures, 0x4001)));
    EXPECT_TRUE(stored_as(needle, RecordBytes(240)
                                      .element_header(1, 122, {139, 139}, {55, 8}, gauge, nullptr,
                                                      failures, 0x4003)
                                      .word(60, 386)
                                      .pointer(112, needle->nonlinearity)
                                      .word(116, 5)
                                      .word(120, 6)  // rate limit
                                      .pointer(224, reinterpret_cast<const void*>(needle->update))));
    EXPECT_NE(needle->update, nullptr);
    EXPECT_TRUE(stored_as(needle->nonlinearity, calibration_points({{96, 258, 0},
                                                                    {19, 182, 500},
                                                                    {56, 41, 1000},
                                                                    {267, 139, 2000},
                                                                    {182, 258, 2500}})));
    EXPECT_TRUE(stored_as(failures, failure_list({{20, 2}, {10, 1}})));
    EXPECT_TRUE(stored_as(gauge->mouse_rect, tooltip_only_mouse_areas(0xAB26)));

    MODULE_VAR* auxiliary = auxiliary_record();
    ASSERT_NE(auxiliary, nullptr);
    EXPECT_TRUE(stored_as(auxiliary, RecordBytes(28).word(0, fuel_weight_token)));
}

TEST_F(FuelQuantity, CallbackBindsTheFuelWeightOnPreInstallOnly) {
    MODULE_VAR* auxiliary = auxiliary_record();
    ASSERT_NE(auxiliary, nullptr);
    for (int32_t code : {-1, 0, 1, 3, 4, 10, 0x7FFFFFFF, int32_t(0x80000002)}) {
        RecordingPanels panels;
        gauge->gauge_callback(gauge, code, 2);
        EXPECT_TRUE(panels.calls.empty()) << "service code " << code;
    }
    RecordingPanels panels;
    gauge->gauge_callback(gauge, PANEL_SERVICE_PRE_INSTALL, 0xFFFFFFFF);
    gauge->gauge_callback(gauge, PANEL_SERVICE_PRE_INSTALL, 0);
    EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{service_call("initialize_var", auxiliary),
                                                      service_call("initialize_var", auxiliary)}));
}

TEST_F(FuelQuantity, PoundsAreQuantityTimesRefreshedWeight) {
    MODULE_VAR* auxiliary = auxiliary_record();
    ASSERT_NE(auxiliary, nullptr);
    KeptAsStored kept_needle(needle), kept_auxiliary(auxiliary);
    struct Case {
        double quantity, weight, pounds;
    } cases[] = {
        {100, 6, 600},
        {410, 6.02, 2468.2},
        {0.1, 3, 0.30000000000000004},
        {333.3, 6.7, 2233.11},
        {500, 6, 2500},  // 3000
        {100, 0, 0},
        {-100, 6, 0},
        {100, -6, 0},
        {not_a_number, 6, 0},
        {100, not_a_number, 0},
        {infinity, 0, 0},  // not a number
        {infinity, 6, 2500},
    };
    for (const Case& c : cases) {
        RecordingPanels panels;
        panels.variable_value = [&](uint32_t token) {
            return token == fuel_weight_token ? c.weight : 1e9;
        };
        EXPECT_TRUE(same_double(convert(needle, c.quantity), c.pounds))
            << c.quantity << " times " << c.weight;
        EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{service_call("lookup_var", auxiliary)}));
    }
}

TEST_F(FuelQuantity, WeightIsRefreshedOnEveryUpdate) {
    MODULE_VAR* auxiliary = auxiliary_record();
    ASSERT_NE(auxiliary, nullptr);
    KeptAsStored kept_needle(needle), kept_auxiliary(auxiliary);
    RecordingPanels panels;
    double weight = 6;
    panels.variable_value = [&](uint32_t) { return weight; };
    EXPECT_TRUE(same_double(convert(needle, 100), 600));
    weight = 5.5;
    EXPECT_TRUE(same_double(needle->update(needle), 550)) << "same quantity, new weight";
    weight = 0;
    EXPECT_TRUE(same_double(needle->update(needle), 0));
    EXPECT_EQ(panels.calls.size(), 3u);
}

TEST_F(FuelQuantity, QuantityIsTakenBeforeTheWeightIsRefreshed) {
    MODULE_VAR* auxiliary = auxiliary_record();
    ASSERT_NE(auxiliary, nullptr);
    KeptAsStored kept_needle(needle), kept_auxiliary(auxiliary);
    RecordingPanels panels;
    // A host whose lookup also moves the needle's own variable on.
    panels.variable_value = [&](uint32_t) {
        needle->source_var.value.number = 400;
        return 6.0;
    };
    EXPECT_TRUE(same_double(convert(needle, 100), 600));
}

}  // namespace
