#include "display/sample_axis.h"

double SampleAxisDivisions(double sampleSpan) {
    if (sampleSpan > 100) return 10;
    if (sampleSpan > 20) {
        int k = 2;
        while (sampleSpan / k >= 20)
            ++k;  // ends by k = 6, since span <= 100
        return sampleSpan / k;
    }
    if (sampleSpan >= 1) return sampleSpan;
    return 2;
}
