#pragma once
// Y-axis scaling records: the level range of a family of views and the ladder of scales the
// mouse wheel steps through.

#include <array>
#include <cstdint>

// One Y-axis record. Scale and reference are in the unit of the views that use it (dB,
// full scale, degrees or percent).
struct AxisScale {
    static constexpr int kMaxTableEntries = 32;

    double reference = 0.0;   // top (dB views), centre (linear, phase) or bottom (EVM) of the axis
    double scale = 1.0;       // units per division; 0 is accepted and makes the mapping degenerate
    double divisions = 10.0;  // horizontal divisions; need not be whole
    int tableCount = 0;       // used entries of scaleTable, 0 … kMaxTableEntries
    std::array<double, kMaxTableEntries> scaleTable{};  // allowed scales, ascending
    int tableIndex = -1;  // current scale's place in the table; −1 below the first entry

    // Empties the table (the current scale and index are left as they are).
    void ClearTable();
    // Appends value to the table; false, and no change, when the table is full.
    bool AddTableEntry(double value);
    // Sets the scale to value (any value, also one not in the table) and points the index at
    // the largest entry not above it: −1 when value lies below the first entry.
    void SetScale(double value);
    // Moves to the next larger table entry and takes it as the scale; false, and no change,
    // at the end of the table.
    bool StepUp();
    // Moves to the next smaller table entry and takes it as the scale; false, and no change,
    // at the start of the table (or below it).
    bool StepDown();
};

// The five records of a plot engine, by the views that use them.
enum AxisScaleRecord : int {
    kLogMagAxis = 0,    // log-magnitude time view; reference = top, dB
    kSpectrumAxis = 1,  // spectrum views; reference = top, dB
    kLinearAxis = 2,    // I, Q and IQ views; reference = centre, full scale 1
    kPhaseAxis = 3,     // phase view; reference = centre, degrees
    kEvmAxis = 4,       // EVM views; reference = bottom, percent
};
inline constexpr int kAxisScaleCount = 5;
using AxisScaleSet = std::array<AxisScale, kAxisScaleCount>;

// Restores every record's scale table, scale, reference and divisions to their defaults.
// Running it again gives the same records (each table holds each value once).
void SetAllDefaults(AxisScaleSet& axes);

// The largest magnitude of any finite I or Q value of n samples (0 for none).
double LargestComponent(const float* I, const float* Q, int64_t n);

// A capture beyond full scale (a float recording at +58 dBFS) drawn whole: for a largest
// component peak above 1, the linear record spans ±top and the log-magnitude and spectrum
// records' tops lie at top in dB, top being the 1-2-5 step at or above peak. Returns top, the
// amplitude the I/Q plane's edge stands for.
double ScaleAxesToPeak(AxisScaleSet& axes, double peak);
// Puts back the defaults of what ScaleAxesToPeak set (the scale tables stay as they are).
void RestoreFullScaleAxes(AxisScaleSet& axes);
