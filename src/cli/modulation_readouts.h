#pragma once
// qrvn measure's modulation accuracy: --modulation M --symbol-rate HZ [--rrc B | --rc B]
// [--equalise] for the blind analysis, --evm-reference FILE for the EVM against a clean
// waveform; text lines and JSON.

#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "measure/modulation.h"

class cWaveform;
class JsonWriter;

extern const std::vector<OptionSpec> kModulationOptions;
extern const char* const kModulationHelp;

struct ModulationRequest {
    std::optional<ModulationSettings> blind;
    std::string referencePath;
    bool Any() const { return blind || !referencePath.empty(); }
};

// Fails with one line on a name, rate or roll-off that is not one, or a half-given request.
ModulationRequest ModulationRequestOrFail(const ParsedArguments& a);

struct ModulationFigures {
    ModulationSettings settings;
    std::optional<ModulationResult> blind;
    std::optional<ReferenceEvmResult> reference;
    double sampleRate = 0.0;
};

// Runs what was asked on the loaded waveform (the reference loaded as the capture was, whole);
// fails with the analysis's reason when it measured nothing.
ModulationFigures ModulationFiguresOrFail(const ModulationRequest& request, const cWaveform& wave,
                                          const ParsedArguments& a, std::ostream& err);
void ModulationFigureLines(const ModulationFigures& f, std::ostream& out);
void ModulationFigureJson(const ModulationFigures& f, JsonWriter& j);
