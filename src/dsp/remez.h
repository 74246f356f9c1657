#pragma once
// Linear-phase FIR design by the Parks-McClellan exchange: the taps whose weighted error
// against the desired gain in each band is smallest at its largest (equiripple). Positive
// symmetry; odd and even tap counts. Frequencies are normalised to the sample rate (0 ... 0.5).

#include <vector>

struct RemezBand {
    double low = 0.0, high = 0.0;  // edges, 0 <= low < high <= 0.5
    double gain = 0.0;             // desired gain in the band
    double weight = 1.0;           // > 0: how much this band's error counts
};

struct RemezResult {
    std::vector<double> taps;  // empty when the design failed
    bool converged = false;    // the extremal set settled within the iterations allowed
    // Settled because the exchange's error fell below 1e-6 everywhere while δ sank to double
    // precision: the extrema are rounding noise, so the error does not alternate, and
    // deviation is the largest weighted error of the taps on the grid instead.
    bool atPrecision = false;
    int iterations = 0;
    double deviation = 0.0;  // |δ|: the weighted error at every extremal frequency
    std::vector<double> extremalFrequencies;  // r + 1 of them, where the error alternates
    std::vector<int> extremalSigns;           // +1 / -1: the sign of the weighted error there
};

// Designs `taps` coefficients (3 ... 1024) for bands in increasing order that do not overlap,
// with a grid of `gridDensity` points per extremal frequency and at most `maxIterations`
// exchanges. The taps come from sampling the final response at taps equally spaced
// frequencies. Returns empty taps when the arguments are out of range, or when the exchange
// breaks down (too few extrema, a response that is not finite); a result that did not settle
// within the iterations keeps its last taps with converged = false.
RemezResult RemezDesign(int taps, const std::vector<RemezBand>& bands, int gridDensity = 16,
                        int maxIterations = 40);

// What a low-pass design achieves, read from the response of its taps on a grid 32 points per
// tap fine: the passband ripple (largest over smallest gain in [0, pass], dB) and the stopband
// attenuation (the largest gain in [stop, 0.5], as dB below 0 dB: a positive number).
struct LowPassFigures {
    double passbandRippleDb = 0.0;
    double stopbandAttenuationDb = 0.0;
};
LowPassFigures MeasureLowPass(const std::vector<double>& taps, double passEdge, double stopEdge);
