#include "display/sample_axis.h"

#include <cmath>

std::vector<SampleTick> SampleAxisTicks(double startSample, double sampleSpan, int pw,
                                        double labelWidthPx) {
    std::vector<SampleTick> ticks;
    if (!(sampleSpan > 0) || pw <= 0 || !std::isfinite(startSample) || !std::isfinite(sampleSpan))
        return ticks;
    const double pixelsPerSample = pw / sampleSpan;
    // 1, 2, 5, 10, 20, 50, ...: the first that leaves room for a number.
    double step = 1;
    for (int k = 0; step * pixelsPerSample < labelWidthPx && k < 60; ++k)
        step *= (k % 3 == 1) ? 2.5 : 2.0;
    const double firstNumber = std::ceil((startSample + 1) / step) * step;
    for (double n = firstNumber; n - 1 <= startSample + sampleSpan && ticks.size() < 1000;
         n += step)
        ticks.push_back({std::llround(n), (n - 1 - startSample) * pixelsPerSample});
    return ticks;
}
