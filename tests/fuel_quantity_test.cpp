// "Fuel_Quantity": the needle multiplies the fuel quantity by the fuel weight
// per unit, which the gauge binds and refreshes itself.
#include <gtest/gtest.h>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/recording_panels.h"
#include "tests/support/single_needle_gauge.h"

namespace {

namespace layout = host_layout;

constexpr uint32_t fuel_weight_token = 306;

class FuelQuantity : public SingleNeedleGauge {
protected:
    FuelQuantity() : SingleNeedleGauge("Fuel_Quantity") {}

    void SetUp() override {
        SingleNeedleGauge::SetUp();
        if (HasFatalFailure()) return;
        weight = auxiliary_record();
        ASSERT_FALSE(weight.null()) << "the callback binds the fuel weight on pre-install";
    }

    Record weight;
};

TEST_F(FuelQuantity, RecordsAsTheHostReadsThem) {
    // The face and the needle share one list.
    const Record failures = face.at(layout::element::failures);
    const ExpectedRecord needle_record =
        element(layout::needle::size, layout::element::needle, 122, {139, 139}, {55, 8}, 0x4003, gauge)
            .points_at(layout::element::failures, failures)
            .word(layout::needle::variable, 386)
            .points_to(layout::needle::table, calibration_points({{96, 258, 0},
                                                                  {19, 182, 500},
                                                                  {56, 41, 1000},
                                                                  {267, 139, 2000},
                                                                  {182, 258, 2500}}))
            .word(layout::needle::point_count, 5)
            .word(layout::needle::rate_limit, 6)
            .routine(layout::needle::routine);
    const ExpectedRecord face_record =
        element(layout::static_image::size, layout::element::static_image, 120, {0, 0}, {0, 0}, 0x4001, gauge)
            .points_to(layout::element::children, child_list({needle_record}))
            .points_to(layout::element::failures, failure_list({{20, 2}, {10, 1}}));
    EXPECT_TRUE(stored_as(gauge, gauge_header("Fuel_Quantity", face_record, tooltip_only_mouse_areas(0xAB26))));

    // Stored with only its token set; the host fills in the rest.
    EXPECT_TRUE(
        stored_as(weight, ExpectedRecord(layout::variable::size).word(layout::variable::id, fuel_weight_token)));
}

TEST_F(FuelQuantity, PoundsAreQuantityTimesRefreshedWeight) {
    KeptAsStored kept_needle(needle, layout::needle::size), kept_weight(weight, layout::variable::size);
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
    };
    for (const Case& c : cases) {
        RecordingPanels panels;
        panels.variable_value = [&](uint32_t token) { return token == fuel_weight_token ? c.weight : 1e9; };
        EXPECT_TRUE(same_double(convert(needle, c.quantity), c.pounds)) << c.quantity << " times " << c.weight;
        EXPECT_EQ(panels.calls, (std::vector<ServiceCall>{service_call("lookup_var", weight.address())}));
    }
}

TEST_F(FuelQuantity, WeightIsRefreshedOnEveryUpdate) {
    KeptAsStored kept_needle(needle, layout::needle::size), kept_weight(weight, layout::variable::size);
    RecordingPanels panels;
    double pounds_per_unit = 6;
    panels.variable_value = [&](uint32_t) { return pounds_per_unit; };
    EXPECT_TRUE(same_double(convert(needle, 100), 600));
    pounds_per_unit = 5.5;
    EXPECT_TRUE(same_double(call_routine(needle, needle_axis), 550)) << "same quantity, new weight";
    pounds_per_unit = 0;
    EXPECT_TRUE(same_double(call_routine(needle, needle_axis), 0));
    EXPECT_EQ(panels.calls.size(), 3u);
}

TEST_F(FuelQuantity, QuantityIsTakenBeforeTheWeightIsRefreshed) {
    KeptAsStored kept_needle(needle, layout::needle::size), kept_weight(weight, layout::variable::size);
    RecordingPanels panels;
    // A host whose lookup also moves the needle's own variable on.
    panels.variable_value = [&](uint32_t) {
        needle.set_number(layout::needle::variable + layout::variable::value, 400);
        return 6.0;
    };
    EXPECT_TRUE(same_double(convert(needle, 100), 600));
}

}  // namespace
