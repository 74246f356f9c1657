#pragma once
// Mapping of Y-axis values to pixel rows, before rounding (traces round halves away from
// zero, grid lines and labels add 0.5 and truncate: see pixel_round.h).

#include "display/axis_scale.h"

// Row of a level in dB on an axis whose reference is its top:
// top + (reference − levelDb)·ph/(scale·divisions). With a zero scale or zero divisions the
// result is ±infinity, or NaN at the reference itself; callers clamp to the plot.
double DbLevelToY(const AxisScale& axis, double levelDb, int top, int ph);
