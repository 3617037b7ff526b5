// Every picture the module carries, each drawn from its gauge's geometry.
#pragma once

#include "picture.h"

void draw_airspeed_face(Canvas&);
void draw_manifold_pressure_face(Canvas&);
void draw_tachometer_face(Canvas&);
void draw_fuel_quantity_face(Canvas&);
void draw_engine_instruments_face(Canvas&);
void draw_radar_altimeter_face(Canvas&);
void draw_labs_face(Canvas&);
void draw_labs_overlay(Canvas&);
void draw_direction_finder_face(Canvas&);

// The airspeed, manifold pressure and tachometer needles are one picture.
void draw_main_needle(Canvas&);
void draw_fuel_needle(Canvas&);
void draw_temperature_needle(Canvas&);
void draw_pressure_needle(Canvas&);
void draw_radar_altimeter_needle(Canvas&);
void draw_labs_pointer(Canvas&);

void draw_tachometer_strip(Canvas&);
void draw_tachometer_strip_mask(Canvas&);
void draw_deviation_bar(Canvas&);
void draw_deviation_window(Canvas&);
void draw_frequency_strip(Canvas&);
void draw_frequency_strip_mask(Canvas&);
