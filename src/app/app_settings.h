#pragma once
// The program's stored settings, read defensively: a value that is missing, of the wrong type,
// out of range or too long counts as missing and leaves the default, so a damaged settings
// file can never stop the program from starting.

#include <QSettings>
#include <cstdint>
#include <optional>
#include <string>

#include "app/command_ids.h"

struct AppSettings {
    int fileType = kFileBin16BeTwos;            // "Filetype"
    int64_t sampleRateHz = 491'520'000;         // "Fs"
    int fftSize = 16384;                        // "FFTSize"
    int lteDuplex = kLteTdd38;                  // "LTEDuplex"
    std::optional<std::string> waveformFolder;  // "Waveform_Folder": where the Open dialog starts
    std::optional<std::string> installPath;     // "InstallPath": base of relative file names
};

// Rate given when the stored rate is not positive.
constexpr int64_t kReplacementSampleRateHz = 49'152'000;

// The settings store of the program (organisation and application "Quorvalen").
QSettings& ProgramSettings();

AppSettings ReadAppSettings(const QSettings& store);
// Writes the four values kept between sessions ("Filetype", "Fs", "FFTSize", "LTEDuplex").
void WriteAppSettings(QSettings& store, const AppSettings& settings);
// Stores the Open dialog's folder (a text of 1 to 254 characters; others are not written).
void WriteWaveformFolder(QSettings& store, const std::string& folder);
