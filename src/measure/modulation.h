#pragma once
// Modulation accuracy of a single-carrier capture, found blind (decision-directed), and the
// error of a capture against a clean reference waveform after aligning the two.
//
// Blind analysis, in order:
//  1. The receive filter (the root raised cosine matched to the pulse, or band-limited
//     interpolation for raised-cosine and unshaped symbols) is evaluated at any instant, so the
//     symbol rate need not divide the sample rate.
//  2. Symbol timing: the symbol-rate line of the filtered signal's squared magnitude (Oerder and
//     Meyr), four points per symbol; then refined to the instant of least error vector power
//     (parabolas through three instants, twice).
//  3. Carrier: the M-th power of the symbols (M = 2, 4 or 8; 4 for square QAM) gives the
//     frequency (peak of its spectrum) and phase; then decision-directed: the phase of the
//     symbols against their decisions, block by block, fitted by a line.
//  4. A least-squares fit of the symbols z = a·d + b·conj(d) + c to their decisions d gives the
//     gain and phase (a), the I/Q imbalance (b) and the origin offset (c); the error vector is
//     what the fit leaves, referred back to the constellation's scale.
//  5. Optionally a least-squares equaliser (nine taps half a symbol apart) trained on the
//     decisions.

#include <complex>
#include <cstdint>
#include <string>
#include <vector>

#include "dsp/work_control.h"

enum class Modulation { Bpsk, Qpsk, Psk8, Qam16, Qam64, Qam256 };
enum class PulseShape { None, RaisedCosine, RootRaisedCosine };

// The ideal points of a modulation, scaled to unit mean power.
std::vector<std::complex<double>> ConstellationPoints(Modulation m);
// "bpsk", "qpsk", "8psk", "qam16", "qam64", "qam256" (also "16qam" …); false for other names.
bool ParseModulation(const std::string& name, Modulation& m);
const char* ModulationName(Modulation m);

struct ModulationSettings {
    Modulation modulation = Modulation::Qpsk;
    double symbolRateHz = 0.0;
    PulseShape shape = PulseShape::RootRaisedCosine;
    double rollOff = 0.22;
    bool equalise = false;
};

struct ModulationResult {
    int64_t symbols = 0;  // analysed (at most kMaxAnalysedSymbols)
    double evmRmsPercent = 0.0, evmRmsDb = 0.0;
    double evmPeakPercent = 0.0;
    int64_t evmPeakSymbol = 0;
    double merDb = 0.0;
    double magnitudeErrorRmsPercent = 0.0;
    double phaseErrorRmsDeg = 0.0;
    double frequencyErrorHz = 0.0;
    double originOffsetDb = 0.0;       // origin offset power over the constellation's
    double gainImbalanceDb = 0.0;      // I's gain over Q's
    double quadratureErrorDeg = 0.0;   // the Q axis's angle from I beyond 90°
    double timingOffsetSymbols = 0.0;  // symbol instants after whole symbols from sample 0 (±0.5)
    double firstSymbolSample = 0.0;    // that instant in samples
    // Per symbol: the symbol after every correction, its decision and the error vector's
    // magnitude in percent of the constellation's rms.
    std::vector<std::complex<float>> measured, ideal;
    std::vector<float> evmPercent;
};

// The most symbols one analysis reads (the first ones of a longer capture), and the most
// samples of the capture and of the reference the reference mode compares.
constexpr size_t kMaxAnalysedSymbols = size_t{1} << 21;
constexpr int64_t kMaxComparedSamples = int64_t{1} << 22;

// "" on success; otherwise why nothing was measured: a symbol rate above the sample rate or
// below 1/1000 of it, fewer than 100 symbols, a signal the recovery cannot lock to, "stopped".
std::string AnalyseModulation(const float* I, const float* Q, int64_t n, double sampleRate,
                              const ModulationSettings& settings, ModulationResult& result,
                              const WorkControl& control);

struct ReferenceEvmResult {
    int64_t samples = 0;        // compared (the overlap, less its ends)
    int64_t firstSample = 0;    // of the capture, where the comparison starts
    double delaySamples = 0.0;  // of the capture behind the reference
    double frequencyOffsetHz = 0.0;
    double phaseDeg = 0.0;
    double gainDb = 0.0;  // capture over reference
    double evmRmsPercent = 0.0, evmRmsDb = 0.0;
    double evmPeakPercent = 0.0;
    int64_t evmPeakSample = 0;
    // Error vector magnitude in percent of the reference's rms, averaged over blocks of
    // blockSamples from firstSample (for the view of EVM against time).
    std::vector<float> evmPercentPerBlock;
    int64_t blockSamples = 0;
};

// The capture x against the reference r (same sample rate) after aligning time (to a fraction
// of a sample), frequency, phase and gain: no decisions, so any waveform. "" on success.
std::string MeasureEvmAgainstReference(const float* xI, const float* xQ, int64_t n, const float* rI,
                                       const float* rQ, int64_t m, double sampleRate,
                                       ReferenceEvmResult& result, const WorkControl& control);
