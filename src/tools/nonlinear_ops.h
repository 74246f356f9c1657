#pragma once
// Envelope-changing operations: clip-noise-filtering crest factor reduction (one pass at a
// time), peak windowing, a power amplifier's AM/AM compression and sign-keeping squaring.
// Levels are in dB relative to full scale 1.0; sample arithmetic is single precision, sums
// double. Each builds its result aside and exchanges it in at the end, so a refusal or a stop
// leaves the samples as they were.

#include <cstdint>

#include "dsp/cubic_spline.h"
#include "tools/tool.h"

class cWaveform;

// Mean and peak of I²+Q² over the whole waveform, in dB (10·log10); −inf for silence (and for
// an empty waveform).
struct PowerLevels {
    double meanDb = 0, peakDb = 0;
    double ParDb() const { return peakDb - meanDb; }
};
PowerLevels PowerStats(const cWaveform& wave);

// One pass of crest factor reduction with the clip level offsetDb above the mean power: the
// clipping noise E = x − clip(x) is taken to the spectrum (size as EnsureSpectrum's), its bins
// are kept only where the signal's bin power is at least 1000 times theirs, and x − E becomes
// the waveform. A clip level outside [−300, 3] dBFS clips nothing and changes nothing. Returns
// 0; kErrLevel when the peak power is not within ±100 dB (silence); kErrTooLong beyond 2^27
// samples (no transform that long); kErrStopped when the stop request came first. Nothing
// changes unless it returns 0.
int CfrPass(cWaveform& wave, double offsetDb, const WorkControl& ctx);

// Peak windowing towards a peak-to-average ratio of parDb with a Hann window of windowLength
// (>= 2) samples: the excess of every sample above the threshold power becomes a coefficient
// 1 − P/|x|², each coefficient is lowered by the half window already laid over it, the
// coefficients are spread by the window (centred) and every sample is multiplied by 1 minus
// its spread coefficient. evmPercent is set to 100·√(Σ|x' − x|² / Σ|x|²). Returns 0, kErrLevel
// for silence (no mean power) or a NaN target, kErrStopped on a stop request (nothing changed).
int PeakWindowCfr(cWaveform& wave, double parDb, int windowLength, double& evmPercent,
                  const WorkControl& ctx);

// The AM/AM curve of the PA model: amplitude gain against input power relative to the
// compression reference (linear), a natural cubic spline through 14 measured points. Below the
// first point the gain is the first point's; beyond the last the output amplitude holds the
// last point's (gain y·√(x/u)), so the gain never turns negative or grows.
class cPaCurve {
public:
    cPaCurve();
    // The gain at relative input power u >= 0.
    double Gain(double u);

private:
    cSpline spline_;
    double firstX_, lastX_, firstY_, lastY_;
};

// PA compression with the back-off backOffDb (full scale is 0 dB of drive at −0.2 dB): each
// sample is multiplied by the curve's gain at u = (I² + Q²) / 10^((backOffDb + 0.2)/10).
bool PaCompression(cWaveform& wave, double backOffDb, const WorkControl& ctx);

// Every I becomes |I|·I and every Q |Q|·Q.
bool NonLinearExpansion(cWaveform& wave, const WorkControl& ctx);
