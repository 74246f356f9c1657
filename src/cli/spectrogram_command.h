#pragma once
// The spectrogram without a window: qrvn spectrogram (a .npy of rows) and render's
// spectrogram view.

#include <QImage>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "spectrum/spectrogram.h"

class cWaveform;

// --fft, --window, --overlap and --hold, and their help.
extern const std::vector<OptionSpec> kSpectrogramOptions;
extern const std::string kSpectrogramHelp;
SpectrogramSettings SpectrogramSettingsOrFail(const ParsedArguments& a);

// Draws the spectrogram of the whole waveform into image, as the window draws it (--colours
// grey or perceptual); returns the view kind drawn.
int RenderSpectrogram(const ParsedArguments& a, const cWaveform& wave, QImage& image);
