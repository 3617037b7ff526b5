// validate's parts away from any module: the inputs it tries and how a
// report writes them (so --set takes them back), whose each byte of a record
// is, and a test's result on its way from the process that ran it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "host/validation/record_map.h"
#include "host/validation/test_inputs.h"
#include "host/validation/test_results.h"
#include "host/variables.h"

namespace panelhost {
namespace {

double read_back(const InputValue& value) {
    Variables variables;
    std::string error;
    std::string text = input_text(value);
    EXPECT_TRUE(variables.set(text.substr(0, text.find(' ')), error)) << text << ": " << error;
    return variables.value(value.token).number;
}

InputValue number(uint32_t token, double value) {
    InputValue v{token, false, 0};
    std::memcpy(&v.bits, &value, sizeof value);
    return v;
}

TEST(ValidationInputs, ReportsWriteEachInputSoThatSetReadsItBack) {
    EXPECT_EQ(input_text(number(61, 700)), "61=700");
    EXPECT_EQ(input_text(number(61, 0.1)), "61=0.1");
    EXPECT_EQ(input_text(number(61, 1e19)), "61=1e+19");
    EXPECT_EQ(input_text(number(61, -0.0)), "61=-0");
    EXPECT_EQ(input_text(number(61, -INFINITY)), "61=-inf");
    EXPECT_EQ(input_text({16, true, 0x0345}), "16=0x0345");
    // A not-a-number other than the plain one is told by its bits.
    EXPECT_EQ(input_text({61, false, 0x7FF0000000000001ull}), "61=nan (bits 0x7ff0000000000001)");
    for (double v : double_edges()) {
        double back = read_back(number(61, v));
        if (std::isnan(v)) EXPECT_TRUE(std::isnan(back));
        else EXPECT_EQ(std::memcmp(&back, &v, sizeof v), 0) << input_text(number(61, v));
    }
}

TEST(ValidationInputs, EdgesCoverSignsSpecialsAndEveryFrequencyWord) {
    std::vector<double> edges = double_edges();
    auto has = [&](auto holds) { return std::any_of(edges.begin(), edges.end(), holds); };
    EXPECT_TRUE(has([](double v) { return v == 0 && std::signbit(v); }));
    EXPECT_TRUE(has([](double v) { return v == 0 && !std::signbit(v); }));
    EXPECT_TRUE(has([](double v) { return std::isinf(v) && v < 0; }));
    EXPECT_TRUE(has([](double v) { return std::isnan(v) && std::signbit(v); }));
    EXPECT_TRUE(has([](double v) { return v > 0 && v < std::numeric_limits<double>::min(); }));
    EXPECT_TRUE(has([](double v) { return v == -std::numeric_limits<double>::max(); }));

    std::vector<uint32_t> words = word_edges();
    std::set<uint32_t> low(words.begin(), words.end());
    for (uint32_t w = 0; w < 65536; ++w) ASSERT_TRUE(low.count(w)) << w;
    EXPECT_TRUE(low.count(0xFFFF0345u) && low.count(0x00010000u));
}

TEST(ValidationInputs, SamplesVaryOneVariableAtATimeThenPairs) {
    std::vector<InputToken> tokens = {input_token(386), input_token(306)};  // fuel quantity, fuel weight
    std::vector<Sample> single = edge_samples(tokens, {1000}, false);
    size_t quantity_varied = 0;
    for (const Sample& s : single) {
        ASSERT_EQ(s.count, 2u);
        double weight;
        std::memcpy(&weight, &s.values[1].bits, sizeof weight);
        if (weight == 6) ++quantity_varied;  // the fuel weight's preview reading, kept while the quantity varies
    }
    EXPECT_GE(quantity_varied, double_edges().size() + 3);
    std::vector<Sample> paired = edge_samples(tokens, {1000}, true);
    EXPECT_EQ(paired.size(), single.size() + 10 * 10);
}

TEST(ValidationInputs, RandomInputsFollowTheSeedAndTheTestsName) {
    auto draw = [](uint64_t seed, const char* name) {
        InputRandom random(seed, name);
        std::vector<uint64_t> bits;
        for (int i = 0; i < 200; ++i) {
            double v = random.any_double({50});
            uint64_t b;
            std::memcpy(&b, &v, sizeof b);
            bits.push_back(b);
            bits.push_back(random.any_word());
        }
        return bits;
    };
    EXPECT_EQ(draw(1, "A/element 2/results"), draw(1, "A/element 2/results"));
    EXPECT_NE(draw(1, "A/element 2/results"), draw(2, "A/element 2/results"));
    EXPECT_NE(draw(1, "A/element 2/results"), draw(1, "A/element 3/results"));
    // Over enough draws: not-a-numbers, infinities' neighbours and denormals alike.
    InputRandom random(1, "spread");
    bool nan = false, huge = false, tiny = false;
    for (int i = 0; i < 5000; ++i) {
        double v = random.any_double({});
        nan |= std::isnan(v);
        huge |= std::fabs(v) > 1e300;
        tiny |= v != 0 && std::fabs(v) < 1e-300;
    }
    EXPECT_TRUE(nan && huge && tiny);
}

ModuleModel one_needle_gauge() {
    ModuleModel model;
    GaugeModel g;
    g.address = 0x1000;
    g.name = "Probe";
    g.header.name = 0x1100;
    g.header.element_list = 0x1200;
    g.roots = {0x2000};
    ElementModel needle;
    needle.address = 0x2000;
    needle.kind = stored::needle;
    needle.name = "element 1 (needle)";
    needle.needle.calibration = 0x3000;
    needle.calibration_points.resize(2);
    needle.header.failures = 0x4000;
    needle.failures.resize(1);
    g.elements.push_back(needle);
    ElementModel sharing = needle;  // a second needle with the same failure list
    sharing.address = 0x2100;
    sharing.name = "element 2 (needle)";
    sharing.calibration_points.clear();
    g.elements.push_back(sharing);
    // A parent and its child: with the end of the parent and of the list, four records.
    g.header.mouse_areas = 0x6000;
    g.mouse_areas.resize(2);
    g.mouse_areas[0].record.rect_type = stored::mouse_parent;
    g.mouse_areas[1].record.rect_type = stored::mouse_child;
    model.gauges.push_back(g);
    return model;
}

TEST(ValidationRecords, EachByteIsTheModulesOrTheHosts) {
    RecordMap map(one_needle_gauge());
    auto field = [&](uint32_t address) {
        const RecordSpan* r = map.find(address);
        return r ? RecordMap::field(*r, address - r->start) : RecordField{"none", false};
    };
    EXPECT_EQ(field(0x2008).name, "position");
    EXPECT_FALSE(field(0x2008).host_owned);
    EXPECT_TRUE(field(0x2010).host_owned);  // previous position
    EXPECT_EQ(field(0x2000 + 60).name, "variable token");
    EXPECT_TRUE(field(0x2000 + 64).host_owned);  // the variable's value
    EXPECT_EQ(field(0x2000 + 224).name, "update routine");
    EXPECT_EQ(field(0x3000 + 24 + 16).name, "point 2's angle");
    EXPECT_TRUE(field(0x3000 + 24 + 16).host_owned);
    EXPECT_FALSE(field(0x3000 + 24 + 8).host_owned);  // its value
    EXPECT_EQ(map.find(0x3000 + 48), nullptr);
    EXPECT_EQ(map.find(0x4000)->name, "failure list of element 1 (needle) of \"Probe\"");
    EXPECT_FALSE(field(0x1000 + 44).host_owned);  // the header's default size
    EXPECT_TRUE(field(0x1000 + 48).host_owned);
    EXPECT_EQ(map.find(0x6000 + 4 * 44 - 1)->name, "mouse-area list of \"Probe\"");
    EXPECT_EQ(map.find(0x6000 + 4 * 44), nullptr);
    map.add_variable(0x5000, 0, "Probe");
    EXPECT_TRUE(field(0x5000 + 12).host_owned);
    EXPECT_FALSE(field(0x5000).host_owned);
}

TEST(ValidationResults, AFindingIsKeptOnceAndCountedAfter) {
    FindingList list;
    list.add(TestFinding::error, Fault::not_finite, "y", "first", "61=inf");
    EXPECT_TRUE(list.count_again(Fault::not_finite, "y"));
    list.add(TestFinding::error, Fault::not_finite, "y", "second", "61=nan");
    EXPECT_FALSE(list.count_again(Fault::out_of_range, "y"));
    list.add(TestFinding::warning, Fault::not_finite, "x", "elsewhere", "");
    std::vector<TestFinding> found = list.take();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].text, "first");
    EXPECT_EQ(found[0].input, "61=inf");
    EXPECT_EQ(found[0].count, 3u);
    EXPECT_TRUE(list.empty());
}

TEST(ValidationResults, AResultCrossesBetweenProcessesWhole) {
    TestResult r;
    r.inputs = 85607;
    r.calls = 85625;
    r.seconds = 0.5;
    r.findings.push_back({TestFinding::warning, Fault::caller_modes, "returned \"1\"\nat \xff", "16=0x0345", 4});
    size_t test = 0;
    TestResult back;
    ASSERT_TRUE(result_from_json(result_json(7, r).dump(), test, back));
    EXPECT_EQ(test, 7u);
    EXPECT_EQ(back.inputs, r.inputs);
    EXPECT_EQ(back.calls, r.calls);
    ASSERT_EQ(back.findings.size(), 1u);
    EXPECT_EQ(back.findings[0].level, TestFinding::warning);
    EXPECT_EQ(back.findings[0].fault, Fault::caller_modes);
    EXPECT_EQ(back.findings[0].text, "returned \"1\"\nat \xEF\xBF\xBD");  // not UTF-8: replaced
    EXPECT_EQ(back.findings[0].count, 4u);
    EXPECT_FALSE(result_from_json("panelhost: the module crashed", test, back));
    EXPECT_FALSE(result_from_json("{\"test\": 1}", test, back));
}

}  // namespace
}  // namespace panelhost
