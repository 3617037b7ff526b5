#include "host/record_words.h"

#include "host/base/report.h"
#include "host/variable_catalogue.h"

namespace panelhost {

const char* mouse_area_kind(const MouseArea& area) {
    return area.record.rect_type == stored::mouse_parent ? "parent" : "child";
}

bool covers_whole_face(const MouseArea& area) {
    const stored::MouseRect& r = area.record;
    return area.parent < 0 && r.box_x == 0 && r.box_y == 0 && r.box_width == 0 && r.box_height == 0;
}

const char* cursor_name(int32_t cursor) {
    switch (cursor) {
        case -1: return "none";
        case 1: return "up arrow";
        case 2: return "down arrow";
        default: return "other";
    }
}

namespace {

// The flag combinations this host can name; the bits' meanings one by one
// are the panel system's.
struct FlagWords {
    uint32_t bits;
    const char* words;
};
constexpr FlagWords known_mouse_flags[] = {
    {0x20200000, "left-button click, repeating while held"},
    {0x20000000, "left-button click"},
    {0x00200000, "repeating while held"},
};

}  // namespace

std::vector<std::string> mouse_flag_words(uint32_t flags) {
    std::vector<std::string> words;
    for (const FlagWords& known : known_mouse_flags) {
        if ((flags & known.bits) != known.bits) continue;
        words.push_back(known.words);
        flags &= ~known.bits;
    }
    // Said without parentheses: the words stand inside the flags' own.
    if (flags) words.push_back(format("other bits 0x%08X, not known to this host", unsigned(flags)));
    return words;
}

const char* failure_action_name(uint32_t action) {
    switch (action) {
        case stored::fail_freeze: return "freeze";
        case stored::fail_zero: return "zero";
        default: return "unknown";
    }
}

VariableWords variable_words(uint32_t token) {
    const VariableInfo* info = variable_info(token);
    if (!info) return {token, "unknown", "unknown"};
    return {token, info->name, info->unit};
}

std::string variable_text(uint32_t token) {
    VariableWords v = variable_words(token);
    if (!variable_info(token)) return format("%u (unknown)", unsigned(token));
    return format("%u (%s, %s)", unsigned(token), v.name.c_str(), v.unit.c_str());
}

}  // namespace panelhost
