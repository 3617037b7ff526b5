// Every picture the module carries, each drawn from its gauge's geometry.
#pragma once

#include "picture.h"

void draw_airspeed_face(Canvas&);           // 100
void draw_manifold_pressure_face(Canvas&);  // 105
void draw_tachometer_face(Canvas&);         // 110
void draw_fuel_quantity_face(Canvas&);      // 120
void draw_engine_instruments_face(Canvas&); // 125
void draw_radar_altimeter_face(Canvas&);    // 131
void draw_labs_face(Canvas&);               // 135
void draw_labs_overlay(Canvas&);            // 139
void draw_direction_finder_face(Canvas&);   // 145

void draw_main_needle(Canvas&);            // 102, 107, 112
void draw_fuel_needle(Canvas&);            // 122
void draw_temperature_needle(Canvas&);     // 127
void draw_pressure_needle(Canvas&);        // 129
void draw_radar_altimeter_needle(Canvas&); // 133
void draw_labs_pointer(Canvas&);           // 137

void draw_tachometer_strip(Canvas&);        // 114
void draw_tachometer_strip_mask(Canvas&);   // 115
void draw_deviation_bar(Canvas&);           // 147
void draw_deviation_window(Canvas&);        // 148
void draw_frequency_strip(Canvas&);         // 150
void draw_frequency_strip_mask(Canvas&);    // 151
