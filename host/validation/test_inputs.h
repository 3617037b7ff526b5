// The inputs validate gives a module's routines: values of the variables
// they read, at the edges of what a double or a binary-coded-decimal word
// can hold and at random from a seed, and how each is written in a report
// (in the form --set takes, so a finding can be drawn with render).
#pragma once

#include <array>
#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace panelhost {

class Variables;

struct InputValue {
    uint32_t token = 0;
    bool word = false;  // a binary-coded-decimal word, not a double
    uint64_t bits = 0;  // the double's bits, or the word
};

// One setting of the variables a routine reads.
struct Sample {
    static constexpr uint32_t max_values = 8;  // variables a gauge reads beyond these keep their values
    std::array<InputValue, max_values> values{};
    uint32_t count = 0;

    void set_number(uint32_t token, double value);
    void set_word(uint32_t token, uint32_t word);
    void apply(Variables& variables) const;
};

// "61=400.5", "61=-inf", "16=0x0345", "61=nan (bits 0x7ff0000000000001)".
std::string input_text(const InputValue& value);
// "61=inf, 306=6"; empty for no values.
std::string sample_text(const Sample& sample);

// The shortest decimal form that reads back as the same double.
std::string shortest_text(double value);

// A variable a routine reads, and the value it keeps while others vary.
struct InputToken {
    uint32_t token;
    bool word;  // binary-coded decimal
    double neutral_number = 0;
    uint32_t neutral_word = 0;
};
// As the host's catalogue knows it: its middle preview reading, else 0.
InputToken input_token(uint32_t token);

// Random values the same on every build and every machine: the generator's
// output is fixed by the C++ standard, and every mapping onto values is
// this file's own (the standard's distributions differ between libraries).
class InputRandom {
public:
    // Seeded from --seed and the test's name, so a test tries the same
    // inputs whichever other tests run.
    InputRandom(uint64_t seed, std::string_view test_name);
    uint64_t bits() { return engine_(); }
    double unit();         // in [0, 1)
    size_t below(size_t n);  // in [0, n)
    // Any double at all, weighted towards plausible readings, huge and tiny
    // magnitudes, whole numbers, raw bit patterns (not-a-number payloads,
    // denormals), edge values and the neighbourhood of `notable` values.
    double any_double(const std::vector<double>& notable);
    // A word: half of them any bits, half well-formed binary-coded decimal.
    uint32_t any_word();

private:
    std::mt19937_64 engine_;
};

// The edge values of a double: signed zeros and infinities, not-a-numbers,
// denormals, the limits of double and of the integer types, and small whole
// numbers and fractions of either sign.
std::vector<double> double_edges();
// The edge words of a binary-coded-decimal variable: all 65,536 16-bit
// words, then high-word patterns over a few low words.
std::vector<uint32_t> word_edges();

// Samples that vary one token at a time over its edges (and, for doubles,
// over each of `notable` and its two neighbouring doubles) with the others
// neutral; `pairs` adds every token pair over a few edges each.
std::vector<Sample> edge_samples(const std::vector<InputToken>& tokens, const std::vector<double>& notable, bool pairs);
// `count` samples with every token at random.
void add_random_samples(std::vector<Sample>& samples, const std::vector<InputToken>& tokens,
                        const std::vector<double>& notable, size_t count, InputRandom& random);
// All tokens at their neutral values.
Sample neutral_sample(const std::vector<InputToken>& tokens);

}  // namespace panelhost
