#pragma once
// Where an X axis that counts samples (the time-domain views) puts its numbers and grid lines.

#include <vector>

// One number of the axis: the sample number shown (samples count from 1 on screen) and its
// distance from the plot's left edge in pixels.
struct SampleTick {
    long long number = 0;
    double offsetPx = 0.0;
};

// Ticks at the multiples of a step of 1, 2 or 5 times a power of ten: the smallest such step
// (at least one sample) whose ticks stand at least labelWidthPx apart over the pw pixels that
// show sampleSpan samples from the 0-based index startSample. Empty for a span or width that is
// not positive (or NaN); at most 1000 ticks.
std::vector<SampleTick> SampleAxisTicks(double startSample, double sampleSpan, int pw,
                                        double labelWidthPx);
