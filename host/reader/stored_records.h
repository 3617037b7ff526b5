// The panel system's records as a module stores them, byte for byte, with
// every pointer as the 32-bit address it is in the module's image. The host
// copies a record out of an image into one of these before it looks at any
// field, so the same layouts serve the file on disk, the loaded library, and
// a 64-bit build of the reader.
#pragma once

#include <cstddef>
#include <cstdint>

namespace panelhost::stored {

using Address = uint32_t;

#pragma pack(push, 4)  // doubles follow the word before them directly

struct Point {
    int32_t x, y;
};

// Element kinds this host draws.
inline constexpr uint32_t static_image = 0;
inline constexpr uint32_t needle = 1;
inline constexpr uint32_t icon = 4;
inline constexpr uint32_t moving_image = 5;

inline constexpr uint32_t gauge_header_version = 700;
inline constexpr uint32_t import_panels = 0x0000000F;  // ImportTable's entry for the service table

struct ImportEntry {
    uint32_t id;
    Address pointer;  // the host writes its service table's address here
};

// Linkage; its gauge table follows inline, ended by a null address.
struct Linkage {
    uint32_t module_id;
    Address module_init;
    Address module_deinit;
    uint32_t flags;
    uint32_t priority;
    uint32_t version;
};

enum GaugeRoutine { query, install, initialize, update, generate, draw, kill, routine_count };

struct GaugeHeader {
    uint32_t version;
    Address name;
    Address element_list;  // root elements, then null
    Address routines[routine_count];
    uint32_t reserved;
    uint32_t default_size_mm;
    uint32_t host_owned_48[8];
    Address mouse_areas;
    Address callback;
    uint32_t host_owned_88[8];
};

struct ModuleVar {
    uint32_t id;  // variable token; 0 for none
    Address pointer;
    uint32_t type;
    uint8_t value[8];  // a double, or a 32-bit word in its first four bytes
    uint8_t previous[8];
};

struct ElementHeader {
    uint32_t kind;
    uint32_t bitmap;
    Point position;
    Point previous_position;
    Point offset;  // a needle's pivot inside its picture
    Address gauge_header;
    Address previous_element;
    Address children;  // null, or element addresses ended by null
    Address failures;  // null, or failure records ended by key 0
    uint32_t image_flags;
    uint32_t special_flags;
    uint32_t reserved;
};

struct StaticImage {
    ElementHeader header;
    uint32_t host_owned_60[9];
};

struct Needle {
    ElementHeader header;
    ModuleVar variable;
    uint32_t host_owned_88[6];
    Address calibration;  // null for a needle driven as an angle
    uint32_t point_count;
    int32_t rate_limit;  // degrees per update; 0 for none
    uint32_t host_owned_124[25];
    Address routine;
    uint32_t host_owned_228[3];
};

struct MovingImage {
    ElementHeader header;
    ModuleVar x_variable;
    uint32_t host_owned_88;
    double x_min, x_max;
    uint32_t host_owned_108;
    ModuleVar y_variable;
    uint32_t host_owned_140;
    double y_min, y_max;
    uint32_t host_owned_160[21];
    Address x_routine;
    Address y_routine;
    uint32_t host_owned_252[5];
};

struct Icon {
    ElementHeader header;
    ModuleVar variable;
    uint32_t host_owned_88[6];
    uint32_t image_count;
    uint32_t host_owned_116[5];
};

struct CalibrationPoint {
    Point point;
    double value;
    double angle;  // written by the host at install
};

struct FailureRecord {
    uint32_t key;  // 0 ends a list
    uint32_t action;
    uint32_t link;
};

inline constexpr uint32_t fail_freeze = 1;
inline constexpr uint32_t fail_zero = 2;

inline constexpr uint32_t mouse_end_of_list = 0;
inline constexpr uint32_t mouse_parent = 1;
inline constexpr uint32_t mouse_child = 2;
inline constexpr uint32_t mouse_end_of_parent = 3;

struct MouseRect {
    uint32_t rect_type;
    int32_t box_x, box_y, box_width, box_height;  // relative to the enclosing parent's box
    int32_t cursor;
    uint32_t help_id;
    uint32_t mouse_flags;
    uint32_t event_id;
    Address mouse_function;
    uint32_t extra_data;
};

#pragma pack(pop)

static_assert(sizeof(ImportEntry) == 8 && offsetof(ImportEntry, pointer) == 4);
static_assert(sizeof(Linkage) == 24 && offsetof(Linkage, module_init) == 4 && offsetof(Linkage, module_deinit) == 8);
static_assert(offsetof(Linkage, flags) == 12 && offsetof(Linkage, priority) == 16 && offsetof(Linkage, version) == 20);

static_assert(sizeof(GaugeHeader) == 120);
static_assert(offsetof(GaugeHeader, name) == 4 && offsetof(GaugeHeader, element_list) == 8);
static_assert(offsetof(GaugeHeader, routines) == 12 && offsetof(GaugeHeader, routines[kill]) == 36);
static_assert(offsetof(GaugeHeader, reserved) == 40 && offsetof(GaugeHeader, default_size_mm) == 44);
static_assert(offsetof(GaugeHeader, mouse_areas) == 80 && offsetof(GaugeHeader, callback) == 84);

static_assert(sizeof(ModuleVar) == 28);
static_assert(offsetof(ModuleVar, pointer) == 4 && offsetof(ModuleVar, type) == 8);
static_assert(offsetof(ModuleVar, value) == 12 && offsetof(ModuleVar, previous) == 20);

static_assert(sizeof(ElementHeader) == 60);
static_assert(offsetof(ElementHeader, bitmap) == 4 && offsetof(ElementHeader, position) == 8);
static_assert(offsetof(ElementHeader, previous_position) == 16 && offsetof(ElementHeader, offset) == 24);
static_assert(offsetof(ElementHeader, gauge_header) == 32 && offsetof(ElementHeader, previous_element) == 36);
static_assert(offsetof(ElementHeader, children) == 40 && offsetof(ElementHeader, failures) == 44);
static_assert(offsetof(ElementHeader, image_flags) == 48 && offsetof(ElementHeader, special_flags) == 52);
static_assert(offsetof(ElementHeader, reserved) == 56);

static_assert(sizeof(StaticImage) == 96);
static_assert(sizeof(Needle) == 240 && offsetof(Needle, variable) == 60 && offsetof(Needle, calibration) == 112);
static_assert(offsetof(Needle, point_count) == 116 && offsetof(Needle, rate_limit) == 120);
static_assert(offsetof(Needle, routine) == 224);
static_assert(sizeof(MovingImage) == 272 && offsetof(MovingImage, x_variable) == 60);
static_assert(offsetof(MovingImage, x_min) == 92 && offsetof(MovingImage, x_max) == 100);
static_assert(offsetof(MovingImage, y_variable) == 112 && offsetof(MovingImage, y_min) == 144);
static_assert(offsetof(MovingImage, y_max) == 152 && offsetof(MovingImage, x_routine) == 244);
static_assert(offsetof(MovingImage, y_routine) == 248);
static_assert(sizeof(Icon) == 136 && offsetof(Icon, variable) == 60 && offsetof(Icon, image_count) == 112);

static_assert(sizeof(CalibrationPoint) == 24 && offsetof(CalibrationPoint, value) == 8);
static_assert(offsetof(CalibrationPoint, angle) == 16);
static_assert(sizeof(FailureRecord) == 12 && offsetof(FailureRecord, action) == 4 && offsetof(FailureRecord, link) == 8);

static_assert(sizeof(MouseRect) == 44 && offsetof(MouseRect, box_x) == 4 && offsetof(MouseRect, box_height) == 16);
static_assert(offsetof(MouseRect, cursor) == 20 && offsetof(MouseRect, help_id) == 24);
static_assert(offsetof(MouseRect, mouse_flags) == 28 && offsetof(MouseRect, event_id) == 32);
static_assert(offsetof(MouseRect, mouse_function) == 36 && offsetof(MouseRect, extra_data) == 40);

}  // namespace panelhost::stored
