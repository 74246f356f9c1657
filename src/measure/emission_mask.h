#pragma once
// Spectral emission masks: a limit line and a measurement bandwidth, both piecewise linear in
// the offset from the carrier centre, the adjacent channel powers, and the check of a trace
// against the limit after integrating it over the measurement bandwidth.

#include <optional>
#include <vector>

#include "measure/measure_settings.h"

// CheckMask result when the FFT resolution is coarser than the narrowest measurement bandwidth.
constexpr int kErrResolutionTooCoarse = 0x10000044;
// BuildMask result for an unknown mask number.
constexpr int kErrUnknownMask = 71;

// The linear power of points c − h … c + h of a trace of pointCount points: a channel as the
// adjacent channel powers and the markers' band power integrate it. Empty when the channel
// does not lie wholly in the trace.
std::optional<double> ChannelPowerLinear(const std::vector<float>& power, int pointCount, int c,
                                         int h);

// Mask number (1 .. 5) of a mask type command, 0 for none.
int MaskNumberForType(int maskType);

class cEmissionMask {
public:
    struct Point {
        double x;  // Hz from the carrier centre
        double y;  // level (trace units, dB) or bandwidth (Hz)
    };
    static constexpr size_t kMaxPoints = 200;

    // Piecewise-linear evaluation: between the first point whose x is not below f and the one
    // before it (the first two points before the table, the last point after it). A vertical
    // step is two points at one x; at that x the left value holds.
    static double Evaluate(const std::vector<Point>& table, double f);
    double Limit(double f) const { return Evaluate(limit, f); }
    double MeasurementBandwidth(double f) const { return Evaluate(bandwidth, f); }

    // Channel powers (dB) of the main channel and the channels at -S, +S, -2S, +2S, each
    // integrated over S * ratio around its centre; channels that do not fit are left out, and
    // only 3 (or 1) channels are tried when the trace spans less than 5 (3) spacings.
    void AdjacentChannelPower(const std::vector<float>& power, int pointCount, float df,
                              double spacingHz, double widthRatio);

    // Builds both tables for mask 1 .. 5, a channel bandwidth in MHz, the carrier power Pc (dBm)
    // and the offset o from dBm to trace units. Returns 0, or kErrUnknownMask.
    int BuildMask(int maskNumber, int bandwidthMHz, double carrierPowerDbm, double offsetDb);

    // Integrates the trace over the measurement bandwidth around each point into integrated,
    // and compares that with the limit (pass flag, smallest margin and where). The power
    // trace itself is left alone: tone measurements read it. Returns 0, or
    // kErrResolutionTooCoarse (integrated empty) when a measurement bandwidth is below df.
    int CheckMask(const std::vector<float>& power, int pointCount, float df);

    std::vector<Point> limit;
    std::vector<Point> bandwidth;
    std::vector<float> aclrDb;
    std::vector<float> integrated;  // the trace integrated by the last CheckMask, pointCount points
    bool pass = false;
    float smallestMarginDb = 100.0f;
    double smallestMarginFrequencyHz = 0.0;
};
