// A one-gauge module small enough to reason about pixel by pixel, built once
// well-formed and once per fault that the host must catch before it reads a
// bad record. FIXTURE_FAULT names the fault (CMake gives it).
#include <windows.h>

#include "module/records/panel_services.h"

namespace {

enum Fault {
    well_formed,
    pointer_outside_image,  // a needle's calibration table points below the image
    unterminated_list,      // a failure list runs to the end of its section
    child_cycle,            // the needle lists the face, its parent, as its child
    missing_bitmap,         // the needle names bitmap 103, which is absent
    missing_mask,           // the moving image's bitmap 100 has no 101 beside it
    borrowed_tree,          // a second gauge whose routines all work on the first gauge's tree
    empty_calibration,      // a calibration table named with a point count of 0
    huge_calibration,       // a point count far beyond any table
    unended_mouse_areas,    // a mouse-area list runs to the end of its section
    mask_larger_than_image, // the moving image's bitmap 106 is smaller than its mask 107
    pivot_outside_bitmap,   // the needle's pivot lies right of its 8 x 3 bitmap
    truncated_bitmap,       // the needle's bitmap 110 stops two rows short
    sixteen_bit_bitmap,     // the needle's bitmap 111 has 16 bits per pixel
    unknown_kind,           // the icon is stored as kind 2, which no host draws
    reentrant_routine,      // the needle's routine updates the element tree it belongs to
    far_mouse_box,          // a mouse area's box starts two thousand million pixels right of the face
    duplicate_name,         // a second, well-formed gauge also named "Fixture"
    true_colour_needle,     // well formed: the needle's bitmap 112 is 24-bit with a colour table
    crashing_entry,         // the entry routine writes through a null pointer when loaded
    hanging_entry,          // the entry routine never returns when loaded
    code_writes_files,      // entry and init routines leave a file beside the module; bitmap 103 is absent
    entry_protects_records, // the entry routine makes the records' pages read-only once loaded
    crashing_update,        // the needle's routine writes through a null pointer once variable 61 passes 900
    // For validate: routines that keep their results in range, then one
    // planted fault each in what they do.
    limited_routines,       // none: validate passes it
    nan_for_infinity,       // the needle's routine returns a not-a-number for an infinite input
    result_past_axis,       // the strip's routine limits to 0 to 110 on its 0 to 100 axis
    fpu_control_changed,    // the needle's routine sets the x87 precision to 24 bits and leaves it so
    callee_saved_clobbered, // the strip's routine returns with ebx changed
    writes_read_only_data,  // the needle's routine writes into a constant in read-only data
    writes_other_record,    // the needle's routine moves the strip, another element's record
    hidden_state,           // the needle's routine averages with the input before
    hanging_routine,        // the needle's routine never returns for an input above a million
    precision_dependent,    // the needle's routine divides and multiplies in the caller's x87 precision
    writes_other_gauge,     // the needle's routine writes into a host-owned field of the second gauge's face
};
constexpr Fault fault = FIXTURE_FAULT;

}  // namespace

extern GAUGEHDR fixture_gauge;

namespace {

HINSTANCE self = nullptr;

// Leaves an empty file named `name` beside the module: proof that its code ran.
void leave_file(const char* name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(self, path, MAX_PATH);
    while (n && path[n - 1] != '\\' && path[n - 1] != '/') --n;
    lstrcpynA(path + n, name, int(MAX_PATH - n));
    CloseHandle(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    self = instance;
    if (reason == DLL_PROCESS_ATTACH && fault == code_writes_files) leave_file("entry_ran.txt");
    if (reason == DLL_PROCESS_ATTACH && fault == entry_protects_records) {
        DWORD was;
        VirtualProtect(fixture_gauge.elements_list[0], 1, PAGE_READONLY, &was);
    }
    if (reason == DLL_PROCESS_ATTACH && fault == crashing_entry) *static_cast<volatile int*>(nullptr) = 1;
    while (reason == DLL_PROCESS_ATTACH && fault == hanging_entry) Sleep(1000);
    return TRUE;
}

extern "C" {
__declspec(dllexport) GAUGESIMPORT ImportTable[2] = {{IMPORT_PANELS, nullptr}, {0, nullptr}};
}

namespace {

PANELS& panels() { return *static_cast<PANELS*>(ImportTable[0].pointer); }
ELEMENT_HEADER* root() { return fixture_gauge.elements_list[0]; }

void __stdcall query() { panels().element_list_query(root()); }
void __stdcall install(uint32_t handle) { panels().element_list_install(root(), handle); }
void __stdcall initialize() { panels().element_list_initialize(root()); }
void __stdcall update() { panels().element_list_update(root()); }
void __stdcall generate(uint32_t phase) { panels().element_list_generate(root(), phase); }
void __stdcall draw() { panels().element_list_plot(root()); }
void __stdcall kill() { panels().element_list_kill(root()); }
void __stdcall nothing() {}
void __stdcall module_init() {
    if (fault == code_writes_files) leave_file("init_ran.txt");
}

constexpr bool limits_results = fault >= limited_routines;

// Above high gives high; at or above low passes; anything else gives low.
double limited(double value, double low, double high) { return value > high ? high : value >= low ? value : low; }

// In read-only data.
const double reading_scale = 1.0;

extern ELEMENT_MOVING_IMAGE strip;
extern ELEMENT_STATIC_IMAGE second_face;

double __stdcall needle_value(ELEMENT_NEEDLE* needle) {
    if (fault == reentrant_routine) panels().element_list_update(root());
    double value = needle->source_var.value.number;
    if (fault == crashing_update && value > 900) *static_cast<volatile int*>(nullptr) = 1;
    if (!limits_results) return value;
    if (fault == nan_for_infinity && __builtin_isinf(value)) return __builtin_nan("");
    if (fault == fpu_control_changed) {
        static const unsigned short single_precision = 0x007F;
        __asm__ volatile("fldcw %0" : : "m"(single_precision));
    }
    if (fault == writes_read_only_data) *const_cast<volatile double*>(&reading_scale) = value;
    if (fault == writes_other_record) ++strip.header.position.x;
    if (fault == writes_other_gauge) ++second_face.header.previous_position.x;
    if (fault == hidden_state) {
        static double before = 0;
        double smoothed = (value + before) / 2;
        before = value;
        value = smoothed;
    }
    while (fault == hanging_routine && value > 1e6) Sleep(100);
    if (fault == precision_dependent) {
        volatile double third = value / 3;  // x87 arithmetic: rounded as the control word says
        value = third * 3;
    }
    return limited(value, 0, 100);
}
double __stdcall strip_value(ELEMENT_MOVING_IMAGE* strip) {
    double value = strip->source_var_y.value.number;
    if (!limits_results) return value;
    return limited(value, 0, fault == result_past_axis ? 110 : 100);
}
}  // namespace

// Returns 0 with ebx changed, which the host calling convention keeps.
extern "C" double __stdcall strip_clobbering_ebx(ELEMENT_MOVING_IMAGE*);
__asm__(".text\n"
        "_strip_clobbering_ebx@4:\n"
        "    fldz\n"
        "    movl $0x12345678, %ebx\n"
        "    ret $4\n");

namespace {

// Pivot at the face's centre; 0 straight up, 100 at three o'clock.
NONLINEARITY calibration[] = {
    {.point = {8, 0}, .value = 0},
    {.point = {16, 8}, .value = 100},
};

#define TAIL_SECTION __attribute__((section(".tail")))
constexpr bool failures_unterminated = fault == unterminated_list;
FAILURE_RECORD terminated_failures[] = {{.key = 7, .action = FAIL_ACTION_FREEZE}, {}};
// Alone in its own section, with no end record after it.
TAIL_SECTION FAILURE_RECORD unterminated_failures[] = {{.key = 7, .action = FAIL_ACTION_FREEZE}};

constexpr uint32_t needle_bitmap = fault == missing_bitmap || fault == code_writes_files ? 103
                                   : fault == truncated_bitmap   ? 110
                                   : fault == sixteen_bit_bitmap ? 111
                                   : fault == true_colour_needle ? 112
                                                                 : 102;
constexpr uint32_t point_count = fault == empty_calibration ? 0 : fault == huge_calibration ? 0x40000000 : 2;

extern ELEMENT_STATIC_IMAGE face;
ELEMENT_HEADER* needle_children[] = {&face.header, nullptr};

// The gauge's elements have a section of their own, so that a fixture can
// make their page read-only without touching the module's other data.
__attribute__((section(".elements"))) ELEMENT_NEEDLE needle = {
    .header = {.element_type = ELEMENT_TYPE_NEEDLE,
               .resource_id = needle_bitmap,
               .position = {8, 8},
               .offset = {fault == pivot_outside_bitmap ? 9 : 2, 1},
               .gauge_header = &fixture_gauge,
               .children = fault == child_cycle ? needle_children : nullptr,
               .failures = failures_unterminated ? unterminated_failures : terminated_failures,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var = {.id = 61},
    .nonlinearity = fault == pointer_outside_image ? (NONLINEARITY*)0x10 : calibration,
    .point_count = point_count,
    .update = needle_value,
};

__attribute__((section(".elements"))) ELEMENT_ICON icon = {
    .header = {.element_type = fault == unknown_kind ? ElementKind(2) : ELEMENT_TYPE_ICON,
               .resource_id = 107,
               .gauge_header = &fixture_gauge,
               .image_flags = IMAGE_FLAGS_STILL},
    .picture_count = 1,
};
ELEMENT_HEADER* strip_children[] = {&icon.header, nullptr};

// Three 4-row cells (red, green, blue) behind a 4 x 4 window whose
// bottom-left pixel is outside it.
__attribute__((section(".elements"))) ELEMENT_MOVING_IMAGE strip = {
    .header = {.element_type = ELEMENT_TYPE_MOVING_IMAGE,
               .resource_id = fault == missing_mask ? 100u : fault == mask_larger_than_image ? 106u : 104u,
               .position = {12, 12},
               .gauge_header = &fixture_gauge,
               .children = strip_children,
               .image_flags = IMAGE_FLAGS_MOVING},
    .source_var_y = {.id = 390},
    .min_y = 0,
    .max_y = 100,
    .update_y = fault == callee_saved_clobbered ? strip_clobbering_ebx : strip_value,
};

ELEMENT_HEADER* face_children[] = {&needle.header, &strip.header, nullptr};

__attribute__((section(".elements"))) ELEMENT_STATIC_IMAGE face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 100,
               .gauge_header = &fixture_gauge,
               .children = face_children,
               .image_flags = IMAGE_FLAGS_STILL},
};

ELEMENT_HEADER* elements[] = {&face.header, nullptr};

// A parent at 4, 4 with a child placed relative to it, at 6, 6 on the face.
MOUSERECT mouse_areas[] = {
    {.rect_type = MOUSE_RECT_PARENT, .cursor = CURSOR_NONE, .help_id = 0x1234},
    {.rect_type = MOUSE_RECT_PARENT, .box_x = 4, .box_y = 4, .box_width = 8, .box_height = 8,
     .cursor = CURSOR_NONE, .help_id = 0x22},
    {.rect_type = MOUSE_RECT_CHILD, .box_x = fault == far_mouse_box ? 0x7FFFFFF0 : 2, .box_y = 2, .box_width = 3,
     .box_height = 3,
     .cursor = CURSOR_UPARROW, .mouse_flags = MOUSE_LEFT_CLICK_REPEAT, .event_id = 0x10070},
    {.rect_type = MOUSE_RECT_END_OF_PARENT, .cursor = CURSOR_NONE},
    {.rect_type = MOUSE_RECT_END_OF_PARENT, .cursor = CURSOR_NONE},
    {.rect_type = MOUSE_RECT_EOL, .cursor = CURSOR_NONE},
};
// Alone in a section of its own: a parent and nothing after it.
__attribute__((section(".mtail"))) MOUSERECT unended_mouse_list[] = {{.rect_type = MOUSE_RECT_PARENT, .cursor = CURSOR_NONE}};

// The second gauge's routines forward the first gauge's root, whichever
// header they are called through.
extern GAUGEHDR second_gauge;
ELEMENT_STATIC_IMAGE second_face = {
    .header = {.element_type = ELEMENT_TYPE_STATIC_IMAGE,
               .resource_id = 100,
               .gauge_header = &second_gauge,
               .image_flags = IMAGE_FLAGS_STILL},
};
ELEMENT_HEADER* second_elements[] = {&second_face.header, nullptr};

GAUGEHDR second_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = fault == duplicate_name ? "Fixture" : "Second",
    .elements_list = second_elements,
    .routines = {query, install, initialize, update, generate, draw, kill},
    .default_size_mm = 100,
};

}  // namespace

GAUGEHDR fixture_gauge = {
    .gauge_header_version = GAUGE_HEADER_VERSION_FS700,
    .gauge_name = "Fixture",
    .elements_list = elements,
    .routines = {query, install, initialize, update, generate, draw, kill},
    .default_size_mm = 100,
    .mouse_rect = fault == unended_mouse_areas ? unended_mouse_list : mouse_areas,
    .gauge_callback = nullptr,
};

extern "C" {
__declspec(dllexport) GAUGESLINKAGE<2> Linkage = {
    .module_id = GAUGES_MODULE_ID,
    .module_init = module_init,
    .module_deinit = nothing,
    .gauge_table = {&fixture_gauge,
                    fault == borrowed_tree || fault == duplicate_name || fault == writes_other_gauge ? &second_gauge
                                                                                                  : nullptr,
                    nullptr},
};
}
