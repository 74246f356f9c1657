#pragma once
// FIR filtering with taps read from a file (command 40058): reading and normalising a
// tap file, and the circular convolution of the waveform with the taps, computed directly. Each
// output is a sum of exact double products in a fixed order with one rounding to float, so the
// result does not depend on the CPU's vector width or the number of cores.

#include <cstdint>
#include <string>
#include <vector>

#include "tools/tool.h"

class cWaveform;

// The FIR tool's taps of a tap waveform: every I and Q multiplied by 1/(the largest magnitude
// √(I²+Q²)) when that is above 1e-30, then by 0.5, in float; the taps are the I values. Empty for
// an empty waveform; all zero when every sample is.
std::vector<float> NormalisedTaps(const cWaveform& tapWave);

// Asks for a tap file through ctx.input->FileName (question.prompt is the dialog's title; in a step
// the path is the value of question.name), reads it in fileType with the waveform reader and sets
// taps to its NormalisedTaps. Returns kToolOk with at least one tap, not all zero;
// kErrCancelled when no file was chosen; kErrLoadFailed when it cannot be read or decodes to no
// samples (why says so, as LoadFailureText); kErrScale when every tap is zero (there is nothing
// to normalise by). taps is left empty on failure.
int ReadTapFile(ToolContext& ctx, const PromptSpec& question, int fileType,
                std::vector<float>& taps, std::string& why);

// Circular FIR filter of I and Q separately: out[n] = Σ h[m]·x[(n + M div 2 − m) mod N] over
// m = 0 .. M−1, indices wrapping at both ends (M may exceed N). Products and sums in double,
// added in order of rising input index, one rounding to float. Nothing happens when N or M is
// 0. The result is built aside and exchanged in; false, with the samples as they were, when the
// stop request ended it. Progress 0-100 over the outputs.
bool CircularFir(cWaveform& wave, const std::vector<float>& h, const WorkControl& ctx);

namespace fir_detail {
// Outputs [b, e) of one channel of CircularFir (x: n samples, h: m taps, 0 <= b <= e <= n), on
// the portable path (vectorised = false) or the fastest the CPU offers; both give the same bits.
void FilterChannel(const float* x, int64_t n, const std::vector<float>& h, float* out, int64_t b,
                   int64_t e, bool vectorised);
}  // namespace fir_detail
