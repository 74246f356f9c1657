#include "measure/channel_measurements.h"

#include <cmath>

#include "spectrum/power_trace.h"

OccupiedBandwidthResult OccupiedBandwidth(const cSpectrumTrace& t) {
    OccupiedBandwidthResult r;
    const int nb = t.pointCount;
    if (nb <= 0 || t.N <= 0) return r;
    const double total = std::pow(10.0, t.totalPowerDb / 10.0);
    const double tail = 0.005 * total;
    double sumLow = 0.0, sumHigh = 0.0;
    int iLow = 0;
    while (iLow < nb && sumLow < tail)
        sumLow += t.power[iLow++];
    int jHigh = nb - 1;
    while (jHigh >= 0 && sumHigh < tail)
        sumHigh += t.power[jHigh--];
    const double fs = static_cast<double>(t.sampleRate);
    const double offset = t.complex ? static_cast<double>(t.sampleRate / 2) : 0.0;
    const double fLow = iLow * fs / t.N - offset;
    const double fHigh = jHigh * fs / t.N - offset;
    r.bandwidthHz = std::fabs(fHigh - fLow);
    r.lowerEdgeHz = std::min(fLow, fHigh);
    r.upperEdgeHz = std::max(fLow, fHigh);
    r.powerDb = PowerDb(total - sumLow - sumHigh);
    return r;
}

int ClosestLteBandwidthHz(double bandwidthHz) {
    int best = 5'000'000;
    for (int candidate : {10'000'000, 15'000'000, 20'000'000})
        if (std::fabs(candidate - bandwidthHz) < std::fabs(best - bandwidthHz)) best = candidate;
    return best;
}
