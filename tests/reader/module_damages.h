// Damaged copies of a built gauge module, for proving that the reader meets
// any damage with clear findings and never a crash or a hang: one field of
// every header, directory and record kind bent at a time, truncations, and
// seeded random byte changes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace panelhost::testing {

struct Damage {
    std::string what;   // "export directory: name table RVA outside the image"
    std::string kind;   // "headers", "sections", "exports", ..., "random"
    // One field bent: the damage must give exactly one finding, and it
    // must contain `names` (the structure and field at fault). Without
    // `names` (a change whose effect depends on the bytes it lands on, or
    // a random one), at most one finding.
    bool single_field = true;
    std::string names;
    std::vector<uint8_t> bytes;
};

// Damaged copies of `module`, which must pass the reader's checks; the
// random ones are drawn from `seed`.
std::vector<Damage> damaged_copies(const std::vector<uint8_t>& module, uint32_t seed);

// The starts of the lines a finding may begin with: the header, directory
// or record it is about.
bool names_a_structure(const std::string& finding);

}  // namespace panelhost::testing
