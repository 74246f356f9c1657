#pragma once
// Channel measurements on a carrier centred at 0 Hz: occupied bandwidth (99 % of the power)
// and the choice of the nearest LTE channel bandwidth.

#include "measure/measure_settings.h"

class cSpectrumTrace;

// Edges of the band that leaves 0.5 % of the total power below and above it, in Hz, and the
// power inside it in dB.
OccupiedBandwidthResult OccupiedBandwidth(const cSpectrumTrace& trace);

// 5, 10, 15 or 20 MHz, whichever is closest to bandwidthHz (ties go to the smaller).
int ClosestLteBandwidthHz(double bandwidthHz);
