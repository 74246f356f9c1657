#include "display/axis_scale.h"

#include <cmath>
#include <initializer_list>

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
