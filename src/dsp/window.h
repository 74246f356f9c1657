#pragma once
// Analysis windows of the spectrum trace, normalised to unit root-mean-square so a windowed
// noise floor keeps its unwindowed level.

#include <vector>

#include "tools/command_ids.h"

// WindowType (the FFT menu commands, also the stored setting) is in tools/command_ids.h.

// True for the four values above.
bool IsValidWindowType(int type);

// Fills table with L coefficients of the window (L >= 2). Rect has no table: table is emptied
// and callers skip the multiplication. L < 2 also empties the table.
void ComputeWindow(WindowType type, int L, std::vector<float>& table);

// Half-width in bins of the band around 0 Hz that counts as DC for this window, before the
// trace scales it for zero padding.
int DcHalfWidthBase(WindowType type);
