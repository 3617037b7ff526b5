// What a module's record fields mean, in words, for people and for tools
// reading what a module holds: mouse-area kinds, cursors and flags, failure
// actions, and variables by token (from the host's catalogue).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/reader/gauge_model.h"

namespace panelhost {

// "parent" or "child".
const char* mouse_area_kind(const MouseArea& area);
// Whether the area is the outermost all-zero box, which stands for the whole face.
bool covers_whole_face(const MouseArea& area);

// "none", "up arrow", "down arrow", or "other" for a cursor this host does not name.
const char* cursor_name(int32_t cursor);

// Mouse flags as far as this host knows them: a phrase per known
// combination of bits, then any bits left over as "other bits 0x...".
// Empty for no flags.
std::vector<std::string> mouse_flag_words(uint32_t flags);

// "freeze", "zero", or "unknown" for an action this host ignores.
const char* failure_action_name(uint32_t action);

struct VariableWords {
    uint32_t token;
    std::string name;  // "unknown" for a token not in the catalogue
    std::string unit;  // "unknown" likewise
};
VariableWords variable_words(uint32_t token);
// "61 (airspeed, kt)", "999 (unknown)"
std::string variable_text(uint32_t token);

}  // namespace panelhost
