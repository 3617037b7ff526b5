// Gauge-level records of the 2000-generation panel system — mouse areas, the
// gauge header, the module's linkage and import records — byte for byte as
// the host lays them out.
#pragma once

#include "module/records/element_records.h"

#pragma pack(push, 4)

enum MouseRectKind : uint32_t {
    MOUSE_RECT_EOL = 0,     // end of list
    MOUSE_RECT_PARENT = 1,  // opens a nested area
    MOUSE_RECT_CHILD = 2,   // a leaf area inside the open parent
    MOUSE_RECT_END_OF_PARENT = 3,
};

enum MouseCursor : int32_t {
    CURSOR_NONE = -1,
    CURSOR_UPARROW = 1,
    CURSOR_DOWNARROW = 2,
};

// Left-button click, repeating while the button is held.
inline constexpr uint32_t MOUSE_LEFT_CLICK_REPEAT = 0x20200000;

struct MOUSERECT {
    MouseRectKind rect_type;
    int32_t box_x;  // relative to the enclosing parent's box
    int32_t box_y;
    int32_t box_width;
    int32_t box_height;
    MouseCursor cursor;
    uint32_t help_id;  // the host's tooltip string; 0 for none
    uint32_t mouse_flags;
    uint32_t event_id;  // key event the host sends on a click; 0 for none
    void* mouse_function;
    uint32_t extra_data;
};

using GaugeRoutine = void(__stdcall*)();
using GaugeInstallRoutine = void(__stdcall*)(uint32_t resource_file);
using GaugeGenerateRoutine = void(__stdcall*)(uint32_t phase);
using GaugeCallback = void(__stdcall*)(GAUGEHDR* gauge, int32_t service_id, uint32_t extra_data);

// Service code the host sends to a gauge callback before installing its tree.
inline constexpr int32_t PANEL_SERVICE_PRE_INSTALL = 2;

// The seven routines a gauge header names, in header order.
struct GaugeRoutines {
    GaugeRoutine query;
    GaugeInstallRoutine install;
    GaugeRoutine initialize;
    GaugeRoutine update;
    GaugeGenerateRoutine generate;
    GaugeRoutine draw;
    GaugeRoutine kill;
};

inline constexpr uint32_t GAUGE_HEADER_VERSION_FS700 = 700;

struct GAUGEHDR {
    uint32_t gauge_header_version;
    const char* gauge_name;
    ELEMENT_HEADER** elements_list;  // the root element, then null
    GaugeRoutines routines;
    uint32_t reserved;
    uint32_t default_size_mm;
    uint32_t host_owned_48[8];  // user data, usage and parameter words
    MOUSERECT* mouse_rect;
    GaugeCallback gauge_callback;
    uint32_t host_owned_88[8];
};

struct GAUGESIMPORT {
    uint32_t id;
    void* pointer;
};

// The import identifier under which the host hands over its service table.
inline constexpr uint32_t IMPORT_PANELS = 0x0000000F;

inline constexpr uint32_t GAUGES_MODULE_ID = 0x00000013;

using ModuleRoutine = void(__stdcall*)();

// Linkage with its gauge table inline; N counts the gauges, the table holds
// one more entry for the terminating null.
template <size_t N>
struct GAUGESLINKAGE {
    uint32_t module_id;
    ModuleRoutine module_init;
    ModuleRoutine module_deinit;
    uint32_t flags;
    uint32_t module_priority;
    uint32_t module_version;
    GAUGEHDR* gauge_table[N + 1];
};

#pragma pack(pop)

static_assert(sizeof(MOUSERECT) == 44);
static_assert(offsetof(MOUSERECT, rect_type) == 0);
static_assert(offsetof(MOUSERECT, box_x) == 4);
static_assert(offsetof(MOUSERECT, box_y) == 8);
static_assert(offsetof(MOUSERECT, box_width) == 12);
static_assert(offsetof(MOUSERECT, box_height) == 16);
static_assert(offsetof(MOUSERECT, cursor) == 20);
static_assert(offsetof(MOUSERECT, help_id) == 24);
static_assert(offsetof(MOUSERECT, mouse_flags) == 28);
static_assert(offsetof(MOUSERECT, event_id) == 32);
static_assert(offsetof(MOUSERECT, mouse_function) == 36);
static_assert(offsetof(MOUSERECT, extra_data) == 40);

static_assert(sizeof(GAUGEHDR) == 120);
static_assert(offsetof(GAUGEHDR, gauge_header_version) == 0);
static_assert(offsetof(GAUGEHDR, gauge_name) == 4);
static_assert(offsetof(GAUGEHDR, elements_list) == 8);
static_assert(offsetof(GAUGEHDR, routines.query) == 12);
static_assert(offsetof(GAUGEHDR, routines.install) == 16);
static_assert(offsetof(GAUGEHDR, routines.initialize) == 20);
static_assert(offsetof(GAUGEHDR, routines.update) == 24);
static_assert(offsetof(GAUGEHDR, routines.generate) == 28);
static_assert(offsetof(GAUGEHDR, routines.draw) == 32);
static_assert(offsetof(GAUGEHDR, routines.kill) == 36);
static_assert(offsetof(GAUGEHDR, reserved) == 40);
static_assert(offsetof(GAUGEHDR, default_size_mm) == 44);
static_assert(offsetof(GAUGEHDR, mouse_rect) == 80);
static_assert(offsetof(GAUGEHDR, gauge_callback) == 84);

static_assert(sizeof(GAUGESIMPORT) == 8);
static_assert(offsetof(GAUGESIMPORT, pointer) == 4);

static_assert(offsetof(GAUGESLINKAGE<0>, module_id) == 0);
static_assert(offsetof(GAUGESLINKAGE<0>, module_init) == 4);
static_assert(offsetof(GAUGESLINKAGE<0>, module_deinit) == 8);
static_assert(offsetof(GAUGESLINKAGE<0>, flags) == 12);
static_assert(offsetof(GAUGESLINKAGE<0>, module_priority) == 16);
static_assert(offsetof(GAUGESLINKAGE<0>, module_version) == 20);
static_assert(offsetof(GAUGESLINKAGE<0>, gauge_table) == 24);
static_assert(sizeof(GAUGESLINKAGE<8>) == 24 + 9 * 4);
