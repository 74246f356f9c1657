#include "display/axis_scale.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <limits>

void AxisScale::ClearTable() { tableCount = 0; }

bool AxisScale::AddTableEntry(double value) {
    if (tableCount >= kMaxTableEntries) return false;
    scaleTable[tableCount++] = value;
    return true;
}

void AxisScale::SetScale(double value) {
    scale = value;
    int firstAbove = tableCount;
    for (int i = 0; i < tableCount; ++i) {
        if (scaleTable[i] > value) {
            firstAbove = i;
            break;
        }
    }
    tableIndex = firstAbove - 1;
}

bool AxisScale::StepUp() {
    if (tableIndex + 1 >= tableCount) return false;
    scale = scaleTable[++tableIndex];
    return true;
}

bool AxisScale::StepDown() {
    if (tableIndex - 1 < 0) return false;
    scale = scaleTable[--tableIndex];
    return true;
}

namespace {

void Reset(AxisScale& axis, std::initializer_list<double> table, double reference, double scale,
           double divisions) {
    axis.ClearTable();
    for (double v : table)
        axis.AddTableEntry(v);
    axis.SetScale(scale);
    axis.reference = reference;
    axis.divisions = divisions;
}

}  // namespace

void SetAllDefaults(AxisScaleSet& axes) {
    Reset(axes[kLogMagAxis], {0.1, 0.2, 0.5, 1, 2, 5, 10, 20}, 0, 5, 15);
    Reset(axes[kSpectrumAxis], {0.1, 0.2, 0.5, 1, 2, 5, 10, 20}, 0, 10, 13);

    // Full-scale steps halve from 0.1 down to 0.1·2^−24, so deep zooms on weak signals still
    // have a wheel step; scaling by a power of two keeps every entry exact.
    AxisScale& linear = axes[kLinearAxis];
    linear.ClearTable();
    for (int k = 24; k >= 0; --k)
        linear.AddTableEntry(0.1 * std::ldexp(1.0, -k));
    linear.SetScale(0.1);
    linear.reference = 0;
    linear.divisions = 20;

    Reset(axes[kPhaseAxis], {0.1, 0.2, 0.5, 1, 2, 5, 9, 18, 36}, 0, 36, 20);
    Reset(axes[kEvmAxis], {0.1, 0.2, 0.5, 1, 1.5, 2, 3, 4, 5, 6, 8, 10}, 0, 2, 15);
}

double LargestComponent(const float* I, const float* Q, int64_t n) {
    float largest = 0.0f;
    for (int64_t k = 0; k < n; ++k) {
        const float m = std::max(std::fabs(I[k]), std::fabs(Q[k]));
        // NaN compares false and an infinity is no level to scale to.
        if (m > largest && m <= std::numeric_limits<float>::max()) largest = m;
    }
    return largest;
}

double ScaleAxesToPeak(AxisScaleSet& axes, double peak) {
    double top = std::pow(10.0, std::floor(std::log10(peak)));
    for (double step : {1.0, 2.0, 5.0, 10.0})
        if (step * top >= peak) {
            top *= step;
            break;
        }
    AxisScale& linear = axes[kLinearAxis];
    linear.SetScale(top / (linear.divisions / 2));
    linear.reference = 0;
    const double topDb = 20.0 * std::log10(top);
    axes[kLogMagAxis].reference = topDb;
    axes[kSpectrumAxis].reference = topDb;
    return top;
}

void RestoreFullScaleAxes(AxisScaleSet& axes) {
    AxisScaleSet defaults;
    SetAllDefaults(defaults);
    for (int r : {kLinearAxis, kLogMagAxis, kSpectrumAxis}) {
        axes[static_cast<size_t>(r)].SetScale(defaults[static_cast<size_t>(r)].scale);
        axes[static_cast<size_t>(r)].reference = defaults[static_cast<size_t>(r)].reference;
    }
}
