#pragma once
// Analysis windows of the spectrum trace, normalised to unit root-mean-square so a windowed
// noise floor keeps its unwindowed level.

#include <vector>

// Analysis windows of the spectrum trace. Each value is also the FFT menu command that selects
// it and the stored window setting, so the numbers never change.
enum WindowType : int {
    kWindowRect = 221,
    kWindowHann = 222,
    kWindowBlackmanHarris = 223,
    kWindowBartlett = 224,
};

// True for the four values above.
bool IsValidWindowType(int type);

// Fills table with L coefficients of the window (L >= 2). Rect has no table: table is emptied
// and callers skip the multiplication. L < 2 also empties the table.
void ComputeWindow(WindowType type, int L, std::vector<float>& table);

// Half-width in bins of the band around 0 Hz that counts as DC for this window, before the
// trace scales it for zero padding.
int DcHalfWidthBase(WindowType type);
