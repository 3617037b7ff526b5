#include "host/validation/test_inputs.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "host/base/report.h"
#include "host/variables.h"

namespace panelhost {

namespace {

uint64_t bits_of(double value) {
    uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

double double_of(uint64_t bits) {
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// FNV-1a: a stable hash of a test's name, whatever the library.
uint64_t name_hash(std::string_view name) {
    uint64_t hash = 0xcbf29ce484222325ull;
    for (char c : name) hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ull;
    return hash;
}

// A value and its neighbouring doubles on either side.
void add_with_neighbours(std::vector<double>& values, double v) {
    values.push_back(v);
    values.push_back(std::nextafter(v, -INFINITY));
    values.push_back(std::nextafter(v, INFINITY));
}

}  // namespace

void Sample::set_number(uint32_t token, double value) {
    for (uint32_t i = 0; i < count; ++i)
        if (values[i].token == token) {
            values[i] = {token, false, bits_of(value)};
            return;
        }
    if (count < max_values) values[count++] = {token, false, bits_of(value)};
}

void Sample::set_word(uint32_t token, uint32_t word) {
    for (uint32_t i = 0; i < count; ++i)
        if (values[i].token == token) {
            values[i] = {token, true, word};
            return;
        }
    if (count < max_values) values[count++] = {token, true, word};
}

void Sample::apply(Variables& variables) const {
    for (uint32_t i = 0; i < count; ++i) {
        const InputValue& v = values[i];
        if (v.word) variables.set_word(v.token, uint32_t(v.bits));
        else variables.set_number(v.token, double_of(v.bits));
    }
}

std::string shortest_text(double value) {
    int digits = 1;
    while (digits < 17 && std::strtod(format("%.*g", digits, value).c_str(), nullptr) != value) ++digits;
    // Whole digits written out rather than as a power of ten (700, not 7e+02)
    // while there are no more of them than a double holds.
    double magnitude = std::fabs(value);
    if (magnitude >= 1 && magnitude < 1e17) digits = std::max(digits, int(std::floor(std::log10(magnitude))) + 1);
    return format("%.*g", digits, value);
}

std::string input_text(const InputValue& v) {
    if (v.word) return format("%u=0x%04X", unsigned(v.token), unsigned(v.bits));
    double value = double_of(v.bits);
    if (std::isnan(value)) {
        // --set reads "nan" as the quiet not-a-number; any other is told by its bits.
        bool plain = v.bits == bits_of(std::numeric_limits<double>::quiet_NaN());
        return plain ? format("%u=nan", unsigned(v.token))
                     : format("%u=nan (bits 0x%016llx)", unsigned(v.token), (unsigned long long)v.bits);
    }
    if (std::isinf(value)) return format("%u=%sinf", unsigned(v.token), value < 0 ? "-" : "");
    if (value == 0) return format("%u=%s0", unsigned(v.token), std::signbit(value) ? "-" : "");
    return format("%u=%s", unsigned(v.token), shortest_text(value).c_str());
}

std::string sample_text(const Sample& sample) {
    std::string text;
    for (uint32_t i = 0; i < sample.count; ++i) text += (i ? ", " : "") + input_text(sample.values[i]);
    return text;
}

InputToken input_token(uint32_t token) {
    InputToken t{token, Variables::is_bcd(token)};
    if (const VariableInfo* info = variable_info(token)) {
        if (t.word) t.neutral_word = uint32_t(info->preview[1]);
        else t.neutral_number = info->preview[1];
    }
    return t;
}

InputRandom::InputRandom(uint64_t seed, std::string_view test_name) : engine_(seed ^ name_hash(test_name)) {}

double InputRandom::unit() { return double(bits() >> 11) * 0x1p-53; }

size_t InputRandom::below(size_t n) { return n ? size_t(bits() % n) : 0; }

double InputRandom::any_double(const std::vector<double>& notable) {
    static const std::vector<double> edges = double_edges();
    double sign = bits() & 1 ? -1.0 : 1.0;
    switch (below(9)) {
        case 0:
        case 1:
        case 2:  // a plausible reading: up to a power of ten from 1 to a million
            return sign * unit() * std::pow(10.0, double(below(7)));
        case 3:
        case 4:  // any finite magnitude a double has, evenly over its exponents
            return sign * std::ldexp(1.0 + unit(), int(below(2098)) - 1074);
        case 5:  // a whole number within 32 bits
            return sign * double(bits() >> 33);
        case 6:  // any bits at all
            return double_of(bits());
        case 7:  // an edge value, meeting others at random
            return edges[below(edges.size())];
        default: {  // close to a value that matters: a calibration point, an axis end
            if (notable.empty()) return sign * unit();
            double v = notable[below(notable.size())];
            double step = std::fabs(v) > 1 ? std::fabs(v) * 0.01 : 0.01;
            return v + sign * unit() * step;
        }
    }
}

uint32_t InputRandom::any_word() {
    if (bits() & 1) return uint32_t(bits());
    uint32_t word = 0;
    for (size_t digits = 1 + below(8), d = 0; d < digits; ++d) word |= uint32_t(below(10)) << (4 * d);
    return word;
}

std::vector<double> double_edges() {
    constexpr double inf = std::numeric_limits<double>::infinity();
    constexpr double max = std::numeric_limits<double>::max();
    constexpr double min_normal = std::numeric_limits<double>::min();
    constexpr double min_denormal = std::numeric_limits<double>::denorm_min();
    const double magnitudes[] = {inf,  max,        1e300, 0x1p64, 1e19,  0x1p63, 0x1p53, 0x1p32, 0x1p31,
                                 1e9,  1e6,        65536, 1000,   360,   180,    100,    10,     1,
                                 0.5,  0x1p-52,    1e-9,  1e-300, min_normal, double_of(0x000FFFFFFFFFFFFFull),
                                 min_denormal};
    std::vector<double> edges = {0.0, -0.0};
    for (double m : magnitudes) {
        edges.push_back(m);
        edges.push_back(-m);
    }
    // Whole numbers either side of the 32-bit limits, where conversions to an integer wrap.
    for (double m : {2147483647.0, 4294967295.0, 2147483648.5}) {
        edges.push_back(m);
        edges.push_back(-m);
    }
    // Quiet and signalling not-a-numbers, of either sign, with and without a payload.
    for (uint64_t nan : {0x7FF8000000000000ull, 0xFFF8000000000000ull, 0x7FF0000000000001ull,
                         0xFFF0000000000001ull, 0x7FF8DEADBEEF0001ull})
        edges.push_back(double_of(nan));
    return edges;
}

std::vector<uint32_t> word_edges() {
    std::vector<uint32_t> words;
    words.reserve(65536 + 17 * 4);
    for (uint32_t w = 0; w < 65536; ++w) words.push_back(w);
    const uint32_t highs[] = {0x0001, 0x0009, 0x000A, 0x000F, 0x0010, 0x0100, 0x1000, 0x8000, 0x9999,
                              0xA000, 0xFFFF, 0x1234, 0x5555, 0xAAAA, 0x7FFF, 0x0FFF, 0xF000};
    for (uint32_t high : highs)
        for (uint32_t low : {0x0000u, 0x0345u, 0x9999u, 0xFFFFu}) words.push_back(high << 16 | low);
    return words;
}

Sample neutral_sample(const std::vector<InputToken>& tokens) {
    Sample s;
    for (const InputToken& t : tokens) {
        if (t.word) s.set_word(t.token, t.neutral_word);
        else s.set_number(t.token, t.neutral_number);
    }
    return s;
}

std::vector<Sample> edge_samples(const std::vector<InputToken>& tokens, const std::vector<double>& notable, bool pairs) {
    std::vector<double> doubles = double_edges();
    for (double v : notable) add_with_neighbours(doubles, v);
    std::vector<uint32_t> words = word_edges();
    const Sample neutral = neutral_sample(tokens);
    std::vector<Sample> samples;
    for (const InputToken& t : tokens) {
        if (const VariableInfo* info = variable_info(t.token))
            for (double preview : info->preview) {
                Sample s = neutral;
                if (t.word) s.set_word(t.token, uint32_t(preview));
                else s.set_number(t.token, preview);
                samples.push_back(s);
            }
        if (t.word) {
            for (uint32_t w : words) {
                Sample s = neutral;
                s.set_word(t.token, w);
                samples.push_back(s);
            }
        } else {
            for (double v : doubles) {
                Sample s = neutral;
                s.set_number(t.token, v);
                samples.push_back(s);
            }
        }
    }
    if (!pairs) return samples;
    // Two variables at once, each over a few edges: a product of an
    // infinity and a zero, a difference of two huge values.
    const double few_doubles[] = {0.0, -0.0, INFINITY, -INFINITY, NAN, 1.0, -1.0, 1e19, -1e300, 1e-310};
    const uint32_t few_words[] = {0x0000, 0x0345, 0x9999, 0xFFFF, 0xFFFFFFFF};
    auto few = [&](const InputToken& t) { return t.word ? std::size(few_words) : std::size(few_doubles); };
    auto put = [&](Sample& s, const InputToken& t, size_t i) {
        if (t.word) s.set_word(t.token, few_words[i]);
        else s.set_number(t.token, few_doubles[i]);
    };
    for (size_t a = 0; a < tokens.size(); ++a)
        for (size_t b = a + 1; b < tokens.size(); ++b)
            for (size_t i = 0; i < few(tokens[a]); ++i)
                for (size_t j = 0; j < few(tokens[b]); ++j) {
                    Sample s = neutral;
                    put(s, tokens[a], i);
                    put(s, tokens[b], j);
                    samples.push_back(s);
                }
    return samples;
}

void add_random_samples(std::vector<Sample>& samples, const std::vector<InputToken>& tokens,
                        const std::vector<double>& notable, size_t count, InputRandom& random) {
    for (size_t n = 0; n < count; ++n) {
        Sample s;
        for (const InputToken& t : tokens) {
            if (t.word) s.set_word(t.token, random.any_word());
            else s.set_number(t.token, random.any_double(notable));
        }
        samples.push_back(s);
    }
}

}  // namespace panelhost
