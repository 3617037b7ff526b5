// Element records of the 2000-generation panel system, byte for byte as the
// host lays them out: little-endian 32-bit words, 32-bit pointers, and doubles
// packed on 4-byte boundaries (hence the pack(4) below; the host's compiler
// never padded a double to 8 bytes inside these records).
//
// Every field the module sets has a name; the bytes in between belong to the
// host, are zero as stored and carry names that say only that.
#pragma once

#include <stddef.h>
#include <stdint.h>

struct GAUGEHDR;
struct ELEMENT_HEADER;
struct ELEMENT_NEEDLE;
struct ELEMENT_MOVING_IMAGE;

#pragma pack(push, 4)

struct PIXPOINT {
    int32_t x;
    int32_t y;
};

// Element kinds the module declares (the host knows more).
enum ElementKind : uint32_t {
    ELEMENT_TYPE_STATIC_IMAGE = 0,
    ELEMENT_TYPE_NEEDLE = 1,
    ELEMENT_TYPE_ICON = 4,
    ELEMENT_TYPE_MOVING_IMAGE = 5,
};

// Image flags, in the host's bit assignments: bits 0 and 14 on every picture,
// bit 1 as well on the parts that move.
inline constexpr uint32_t IMAGE_FLAGS_STILL = 0x4001;
inline constexpr uint32_t IMAGE_FLAGS_MOVING = 0x4003;

// Failure actions.
enum FailureAction : uint32_t {
    FAIL_ACTION_FREEZE = 1,
    FAIL_ACTION_ZERO = 2,
};

struct FAILURE_RECORD {
    uint32_t key;  // the host's failure key; 0 ends a list
    FailureAction action;
    uint32_t link;
};

// Calibration point: where the needle tip aims for `value`. The host fills
// `angle` from the point and the pivot at install time.
struct NONLINEARITY {
    PIXPOINT point;
    double value;
    double angle;
};

// The value a variable record carries: a double for most variables, a 32-bit
// binary-coded-decimal word in the first four bytes for a few.
union VariableValue {
    double number;
    uint32_t word;
    unsigned char bytes[8];
};

struct MODULE_VAR {
    uint32_t id;  // host variable token; 0 means none
    void* var_ptr;
    uint32_t var_type;
    VariableValue value;
    VariableValue previous;
};

struct ELEMENT_HEADER {
    ElementKind element_type;
    uint32_t resource_id;
    PIXPOINT position;
    PIXPOINT previous_position;
    PIXPOINT offset;  // a needle's pivot inside its own picture
    GAUGEHDR* gauge_header;
    ELEMENT_HEADER* previous_element;
    ELEMENT_HEADER** children;  // null, or a null-terminated list
    FAILURE_RECORD* failures;   // null, or a list ended by key 0
    uint32_t image_flags;
    uint32_t special_instrumentation_flags;
    uint32_t reserved;
};

struct ELEMENT_STATIC_IMAGE {
    ELEMENT_HEADER header;
    uint32_t host_owned[9];
};

// Conversion routines: given the element whose variables the host has just
// refreshed, return the value to display. Host calling convention.
using NeedleRoutine = double(__stdcall*)(ELEMENT_NEEDLE*);
using MovingImageRoutine = double(__stdcall*)(ELEMENT_MOVING_IMAGE*);

struct ELEMENT_NEEDLE {
    ELEMENT_HEADER header;
    MODULE_VAR source_var;
    uint32_t host_owned_88[6];
    NONLINEARITY* nonlinearity;  // null for a needle driven as an angle
    uint32_t point_count;
    int32_t max_degrees_per_tick;  // 0: no rate limit
    uint32_t host_owned_124[25];
    NeedleRoutine update;
    uint32_t host_owned_228[3];
};

struct ELEMENT_MOVING_IMAGE {
    ELEMENT_HEADER header;
    MODULE_VAR source_var_x;
    uint32_t host_owned_88;
    double min_x;
    double max_x;
    uint32_t host_owned_108;
    MODULE_VAR source_var_y;
    uint32_t host_owned_140;
    double min_y;
    double max_y;
    uint32_t host_owned_160[21];
    MovingImageRoutine update_x;
    MovingImageRoutine update_y;
    uint32_t host_owned_252[5];
};

struct ELEMENT_ICON {
    ELEMENT_HEADER header;
    MODULE_VAR source_var;
    uint32_t host_owned_88[6];
    uint32_t picture_count;
    uint32_t host_owned_116[5];
};

#pragma pack(pop)

static_assert(sizeof(PIXPOINT) == 8);
static_assert(sizeof(FAILURE_RECORD) == 12);
static_assert(offsetof(FAILURE_RECORD, key) == 0);
static_assert(offsetof(FAILURE_RECORD, action) == 4);
static_assert(offsetof(FAILURE_RECORD, link) == 8);

static_assert(sizeof(NONLINEARITY) == 24);
static_assert(offsetof(NONLINEARITY, point.x) == 0);
static_assert(offsetof(NONLINEARITY, point.y) == 4);
static_assert(offsetof(NONLINEARITY, value) == 8);
static_assert(offsetof(NONLINEARITY, angle) == 16);

static_assert(sizeof(VariableValue) == 8);
static_assert(sizeof(MODULE_VAR) == 28);
static_assert(offsetof(MODULE_VAR, id) == 0);
static_assert(offsetof(MODULE_VAR, var_ptr) == 4);
static_assert(offsetof(MODULE_VAR, var_type) == 8);
static_assert(offsetof(MODULE_VAR, value) == 12);
static_assert(offsetof(MODULE_VAR, previous) == 20);

static_assert(sizeof(ELEMENT_HEADER) == 60);
static_assert(offsetof(ELEMENT_HEADER, element_type) == 0);
static_assert(offsetof(ELEMENT_HEADER, resource_id) == 4);
static_assert(offsetof(ELEMENT_HEADER, position) == 8);
static_assert(offsetof(ELEMENT_HEADER, previous_position) == 16);
static_assert(offsetof(ELEMENT_HEADER, offset) == 24);
static_assert(offsetof(ELEMENT_HEADER, gauge_header) == 32);
static_assert(offsetof(ELEMENT_HEADER, previous_element) == 36);
static_assert(offsetof(ELEMENT_HEADER, children) == 40);
static_assert(offsetof(ELEMENT_HEADER, failures) == 44);
static_assert(offsetof(ELEMENT_HEADER, image_flags) == 48);
static_assert(offsetof(ELEMENT_HEADER, special_instrumentation_flags) == 52);
static_assert(offsetof(ELEMENT_HEADER, reserved) == 56);

static_assert(sizeof(ELEMENT_STATIC_IMAGE) == 96);

static_assert(sizeof(ELEMENT_NEEDLE) == 240);
static_assert(offsetof(ELEMENT_NEEDLE, source_var) == 60);
static_assert(offsetof(ELEMENT_NEEDLE, nonlinearity) == 112);
static_assert(offsetof(ELEMENT_NEEDLE, point_count) == 116);
static_assert(offsetof(ELEMENT_NEEDLE, max_degrees_per_tick) == 120);
static_assert(offsetof(ELEMENT_NEEDLE, update) == 224);

static_assert(sizeof(ELEMENT_MOVING_IMAGE) == 272);
static_assert(offsetof(ELEMENT_MOVING_IMAGE, source_var_x) == 60);
static_assert(offsetof(ELEMENT_MOVING_IMAGE, min_x) == 92);
static_assert(offsetof(ELEMENT_MOVING_IMAGE, max_x) == 100);
static_assert(offsetof(ELEMENT_MOVING_IMAGE, source_var_y) == 112);
static_assert(offsetof(ELEMENT_MOVING_IMAGE, min_y) == 144);
static_assert(offsetof(ELEMENT_MOVING_IMAGE, max_y) == 152);
static_assert(offsetof(ELEMENT_MOVING_IMAGE, update_x) == 244);
static_assert(offsetof(ELEMENT_MOVING_IMAGE, update_y) == 248);

static_assert(sizeof(ELEMENT_ICON) == 136);
static_assert(offsetof(ELEMENT_ICON, source_var) == 60);
static_assert(offsetof(ELEMENT_ICON, picture_count) == 112);
