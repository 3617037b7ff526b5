// What holds for every conversion routine of the module, checked over every
// routine the gauge table leads to: whatever the host leaves in the
// variables (any bit pattern: NaN, infinities, huge, tiny), the result stays
// where the host can show it; a routine calls no service but the lookup of
// its own gauge's auxiliary variable; and the result does not depend on the
// host's x87 precision setting. And for every gauge callback: a call on
// pre-install only, and only to bind the gauge's own auxiliary variable.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <optional>
#include <random>

#include "tests/support/conversions.h"
#include "tests/support/expected_records.h"
#include "tests/support/recording_panels.h"
#include "tests/support/x87_precision_24.h"

namespace {

namespace layout = host_layout;

struct Routine {
    std::string name;
    Record element;
    Axis axis;
    // Where the host can show the result: a calibrated needle's table, a
    // moving image's axis range; a needle turned by its result takes any
    // finite angle.
    double low, high;
    Record auxiliary;  // bound by the gauge's callback; null if none
};

// The record the gauge's callback hands initialize_var on pre-install.
Record auxiliary_of(Record gauge) {
    RecordingPanels panels;
    routine_at<CallbackRoutine>(gauge, layout::gauge_header::callback)(gauge.address(), layout::pre_install_service, 0);
    if (panels.calls.size() != 1) return {};
    return Record(reinterpret_cast<void*>(panels.calls[0].args[0]));
}

std::pair<double, double> table_range(Record needle) {
    const Record table = needle.at(layout::needle::table);
    double low = INFINITY, high = -INFINITY;
    for (uint32_t i = 0; i < needle.word(layout::needle::point_count); ++i) {
        double value = table.entry(i, layout::calibration_point::size).number(layout::calibration_point::value);
        low = std::fmin(low, value);
        high = std::fmax(high, value);
    }
    return {low, high};
}

std::vector<Routine> every_routine() {
    namespace m = layout::moving_image;
    std::vector<Routine> all;
    for (Record gauge : corvalenx().gauges()) {
        std::string gauge_name = gauge.text(layout::gauge_header::name);
        for (char& c : gauge_name) c = c == ' ' ? '_' : c;
        const Record auxiliary = auxiliary_of(gauge);
        int index = 0;
        for (Record e : elements_of(gauge)) {
            const std::string name =
                gauge_name + "_" + std::to_string(index++) + "_" + std::to_string(e.word(layout::element::bitmap));
            const uint32_t kind = e.word(layout::element::kind);
            if (kind == layout::element::needle) {
                auto [low, high] = e.at(layout::needle::table).null() ? std::pair{-DBL_MAX, DBL_MAX} : table_range(e);
                all.push_back({name, e, needle_axis, low, high, auxiliary});
            } else if (kind == layout::element::moving_image) {
                if (e.word(m::x_routine)) {
                    all.push_back({name + "_x", e, x_axis, e.number(m::x_min), e.number(m::x_max), auxiliary});
                }
                if (e.word(m::y_routine)) {
                    all.push_back({name + "_y", e, y_axis, e.number(m::y_min), e.number(m::y_max), auxiliary});
                }
            }
        }
    }
    return all;
}

const std::vector<Routine>& routines() {
    static const std::vector<Routine> all = every_routine();
    return all;
}

double from_bits(uint64_t bits) {
    double d;
    std::memcpy(&d, &bits, sizeof d);
    return d;
}

// Variable contents as bit patterns, so that a routine reading a 32-bit word
// meets every kind of word too: the edges of the double format, then values
// of every size, then anything at all.
std::vector<uint64_t> inputs() {
    std::vector<uint64_t> all;
    for (double d : std::initializer_list<double>{0.0, 5e-324, DBL_MIN, 0.25, 1.0, 7.5, 123.456, 617.3, 2116.22,
                                                  2950.0, 9999.9, 0x1p31, 0x1p32, 0x1p53, 0x1p63, 0x1p64, 1e19,
                                                  9.3e23, 1e300, DBL_MAX, double(INFINITY)}) {
        all.push_back(bits_of(d));
        all.push_back(bits_of(-d));
    }
    for (uint64_t nan : {0x7FF8000000000000ull, 0xFFF8000000000000ull, 0x7FF0000000000001ull, 0x7FFFFFFFFFFFFFFFull}) {
        all.push_back(nan);
    }
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 300; ++i) {
        all.push_back(bits_of(std::ldexp(std::uniform_real_distribution<double>(-1, 1)(random), int(random() % 80))));
    }
    for (int i = 0; i < 300; ++i) all.push_back(random());
    return all;
}

class EveryConversionRoutine : public ::testing::TestWithParam<size_t> {
protected:
    const Routine& routine() const { return routines()[GetParam()]; }

    // The result for `own` in the element's variable and `auxiliary` from
    // the host's lookup, with the service calls the routine made.
    double convert(uint64_t own, uint64_t auxiliary, std::vector<ServiceCall>* calls = nullptr) {
        const Routine& r = routine();
        KeptAsStored kept_element(r.element, size_of_element(r.element));
        RecordingPanels panels;
        panels.variable_value = [&](uint32_t) { return from_bits(auxiliary); };
        std::optional<KeptAsStored> kept_auxiliary;
        if (!r.auxiliary.null()) kept_auxiliary.emplace(r.auxiliary, layout::variable::size);
        std::memcpy(r.element.address() + r.axis.variable + layout::variable::value, &own, sizeof own);
        const double result = call_routine(r.element, r.axis);
        if (calls) *calls = panels.calls;
        return result;
    }
};

TEST_P(EveryConversionRoutine, StaysWhereTheHostCanShowItForAnyInput) {
    const std::vector<uint64_t> all = inputs();
    const Routine& r = routine();
    // The auxiliary variable runs through the same patterns, paired off.
    for (size_t i = 0; i < all.size(); ++i) {
        for (uint64_t auxiliary : {all[i], all[(i * 7 + 3) % all.size()], bits_of(6.0)}) {
            double result = convert(all[i], auxiliary);
            ASSERT_TRUE(result >= r.low && result <= r.high)
                << std::hex << "input 0x" << all[i] << ", auxiliary 0x" << auxiliary << std::dec << " gave "
                << std::setprecision(17) << result << ", outside [" << r.low << ", " << r.high << "]";
            if (r.auxiliary.null()) break;
        }
    }
}

TEST_P(EveryConversionRoutine, CallsNoServiceButTheLookupOfItsGaugesOwnVariable) {
    const Routine& r = routine();
    std::vector<ServiceCall> expected;
    if (!r.auxiliary.null()) expected.push_back(service_call("lookup_var", r.auxiliary.address()));
    for (uint64_t input : {bits_of(0.0), bits_of(2350.0), bits_of(-1e300), 0x7FF8000000000000ull, 0x0000A345ull}) {
        std::vector<ServiceCall> calls;
        convert(input, bits_of(6.0), &calls);
        EXPECT_EQ(calls, expected) << std::hex << "input 0x" << input;
    }
}

TEST_P(EveryConversionRoutine, GivesTheSameResultWithTheX87At24BitPrecision) {
    const std::vector<uint64_t> all = inputs();
    std::vector<double> full, reduced;
    for (uint64_t input : all) full.push_back(convert(input, bits_of(6.02)));
    {
        X87PrecisionAt24Bits precision;
        ASSERT_TRUE(X87PrecisionAt24Bits::in_effect());
        for (uint64_t input : all) reduced.push_back(convert(input, bits_of(6.02)));
    }
    for (size_t i = 0; i < all.size(); ++i) {
        ASSERT_TRUE(same_double(reduced[i], full[i])) << std::hex << "input 0x" << all[i];
    }
}

std::string routine_name(const ::testing::TestParamInfo<size_t>& info) {
    return routines()[info.param].name;
}

INSTANTIATE_TEST_SUITE_P(Module, EveryConversionRoutine, ::testing::Range<size_t>(0, routines().size()),
                         routine_name);

// The six gauges without an auxiliary variable share one callback that calls
// nothing; the other two bind their own record, on pre-install only, each
// time.
TEST(GaugeCallbacks, OnlyPreInstallBindsAndOnlyTheGaugesOwnVariable) {
    std::vector<uint32_t> empty_callbacks;
    for (Record gauge : corvalenx().gauges()) {
        SCOPED_TRACE(gauge.text(layout::gauge_header::name));
        const auto callback = routine_at<CallbackRoutine>(gauge, layout::gauge_header::callback);
        for (int32_t code : {-1, 0, 1, 3, 4, 10, 0x7FFFFFFF, int32_t(0x80000002)}) {
            RecordingPanels panels;
            callback(gauge.address(), code, 0xFFFFFFFF);
            EXPECT_TRUE(panels.calls.empty()) << "service code " << code;
        }
        RecordingPanels panels;
        callback(gauge.address(), layout::pre_install_service, 0xFFFFFFFF);
        callback(gauge.address(), layout::pre_install_service, 0);
        if (panels.calls.empty()) {
            empty_callbacks.push_back(gauge.word(layout::gauge_header::callback));
            continue;
        }
        ASSERT_EQ(panels.calls.size(), 2u);
        EXPECT_EQ(panels.calls[0], panels.calls[1]);
        EXPECT_EQ(panels.calls[0].service, "initialize_var");
        // Its own record, stored apart from every element's variables.
        const Record variable(reinterpret_cast<void*>(panels.calls[0].args[0]));
        EXPECT_TRUE(corvalenx().holds(variable.address()));
        for (Record e : elements_of(gauge)) {
            EXPECT_TRUE(variable.address() + layout::variable::size <= e.address() ||
                        variable.address() >= e.address() + size_of_element(e))
                << "inside element " << e.word(layout::element::bitmap);
        }
    }
    EXPECT_EQ(empty_callbacks.size(), 6u);
    EXPECT_EQ(std::count(empty_callbacks.begin(), empty_callbacks.end(), empty_callbacks.front()), 6)
        << "one and the same empty callback";
}

}  // namespace
