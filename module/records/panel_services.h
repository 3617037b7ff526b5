// The host's panel-service table, as far as gauges of this format reach into
// it: 32-bit routine pointers, each in the host calling convention (the callee
// removes its arguments). Only the slots with names are meant to be called by
// this module; the others keep their place so every named slot sits at the
// byte offset the host gives it.
#pragma once

#include "module/records/gauge_records.h"

using ElementListService = void(__stdcall*)(ELEMENT_HEADER* root);
using ElementListWordService = void(__stdcall*)(ELEMENT_HEADER* root, uint32_t word);
using VariableService = void(__stdcall*)(MODULE_VAR* variable);

// A slot this module never calls; the host may keep anything there.
using UnusedServiceSlot = void*;

#pragma pack(push, 4)

struct PANELS {
    UnusedServiceSlot slots_00_to_5c[24];
    ElementListService element_list_query;                // 0x60
    ElementListWordService element_list_install;          // 0x64: root, resource-file handle
    ElementListService element_list_initialize;           // 0x68
    ElementListService element_list_update;               // 0x6C
    ElementListWordService element_list_generate;         // 0x70: root, generate phase
    ElementListService element_list_plot;                 // 0x74
    UnusedServiceSlot slot_78;
    ElementListService element_list_kill;                 // 0x7C
    UnusedServiceSlot slots_80_to_94[6];
    VariableService initialize_var;                       // 0x98
    UnusedServiceSlot slot_9c;
    VariableService lookup_var;                           // 0xA0
};

#pragma pack(pop)

inline constexpr size_t PANELS_SLOT_COUNT = sizeof(PANELS) / sizeof(void*);

static_assert(offsetof(PANELS, element_list_query) == 0x60);
static_assert(offsetof(PANELS, element_list_install) == 0x64);
static_assert(offsetof(PANELS, element_list_initialize) == 0x68);
static_assert(offsetof(PANELS, element_list_update) == 0x6C);
static_assert(offsetof(PANELS, element_list_generate) == 0x70);
static_assert(offsetof(PANELS, element_list_plot) == 0x74);
static_assert(offsetof(PANELS, slot_78) == 0x78);
static_assert(offsetof(PANELS, element_list_kill) == 0x7C);
static_assert(offsetof(PANELS, initialize_var) == 0x98);
static_assert(offsetof(PANELS, lookup_var) == 0xA0);
static_assert(sizeof(PANELS) == 0xA4);
