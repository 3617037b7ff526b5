// The host's record layouts as byte offsets and sizes, written down here from
// the host's own description and deliberately apart from the module's
// declarations (module/records/): tests read and write the module's records
// only through these, so a field the module's headers put anywhere else, a
// service slot moved, or a field of the wrong width shows as a difference.
#pragma once

#include <cstddef>
#include <cstdint>

namespace host_layout {

// Every word is 32 bits, little-endian; pointers are 32 bits; doubles take 8
// bytes wherever they fall.
inline constexpr size_t word_size = 4, pointer_size = 4, double_size = 8;

namespace import_entry {
inline constexpr size_t size = 8, id = 0, pointer = 4;
inline constexpr uint32_t panels_id = 0x0F;
}  // namespace import_entry

namespace linkage {
inline constexpr size_t module_id = 0, init = 4, deinit = 8, flags = 12, priority = 16, version = 20,
                        gauge_table = 24;
inline constexpr uint32_t this_module_id = 0x13;
}  // namespace linkage

namespace gauge_header {
inline constexpr size_t size = 120, version = 0, name = 4, element_list = 8, first_routine = 12, routine_count = 7,
                        reserved = 40, default_size = 44, mouse_areas = 80, callback = 84;
// The seven routines, from first_routine on: query, install, initialize,
// update, generate, draw, kill.
inline constexpr size_t query = 12, install = 16, initialize = 20, update = 24, generate = 28, draw = 32, kill = 36;
}  // namespace gauge_header

// The common header at the start of every element.
namespace element {
inline constexpr size_t kind = 0, bitmap = 4, x = 8, y = 12, previous_x = 16, previous_y = 20, pivot_x = 24,
                        pivot_y = 28, gauge = 32, previous = 36, children = 40, failures = 44, image_flags = 48,
                        special_flags = 52, reserved = 56;
inline constexpr uint32_t static_image = 0, needle = 1, icon = 4, moving_image = 5;
}  // namespace element

namespace variable {
inline constexpr size_t size = 28, id = 0, pointer = 4, type = 8, value = 12, previous = 20;
}

namespace static_image {
inline constexpr size_t size = 96;
}

namespace needle {
inline constexpr size_t size = 240, variable = 60, table = 112, point_count = 116, rate_limit = 120, routine = 224;
}

namespace moving_image {
inline constexpr size_t size = 272, x_variable = 60, x_min = 92, x_max = 100, y_variable = 112, y_min = 144,
                        y_max = 152, x_routine = 244, y_routine = 248;
}

namespace icon {
inline constexpr size_t size = 136, variable = 60, image_count = 112;
}

namespace calibration_point {
inline constexpr size_t size = 24, x = 0, y = 4, value = 8, angle = 16;
}

namespace failure {
inline constexpr size_t size = 12, key = 0, action = 4, link = 8;
}

namespace mouse_area {
inline constexpr size_t size = 44, kind = 0, x = 4, y = 8, width = 12, height = 16, cursor = 20, help = 24,
                        flags = 28, event = 32, routine = 36, extra = 40;
inline constexpr uint32_t end_of_list = 0, parent = 1, child = 2, end_of_parent = 3;
}  // namespace mouse_area

// Byte offsets of the services' slots in the host's service table.
namespace panels {
inline constexpr size_t element_list_query = 0x60, element_list_install = 0x64, element_list_initialize = 0x68,
                        element_list_update = 0x6C, element_list_generate = 0x70, element_list_plot = 0x74,
                        element_list_kill = 0x7C, initialize_var = 0x98, lookup_var = 0xA0;
}

inline constexpr int32_t pre_install_service = 2;

}  // namespace host_layout
