#pragma once
// The modulation analysis's results as text lines (the plot's panel, qrvn measure) and as
// JSON fields (qrvn measure --json, the command channel's Measurements()).

#include <string>
#include <vector>

#include "measure/modulation.h"

class JsonWriter;

// "64QAM, 3.84 Msym/s, RRC 0.22" (and ", equalised").
std::string ModulationSettingsText(const ModulationSettings& s);
std::vector<std::string> ModulationLines(const ModulationSettings& s, const ModulationResult& r);
std::vector<std::string> ReferenceEvmLines(const ReferenceEvmResult& r, double sampleRate);
// An object "modulation" / "evm_reference" in the writer's open object.
void WriteModulationJson(const ModulationSettings& s, const ModulationResult& r, JsonWriter& j);
void WriteReferenceEvmJson(const ReferenceEvmResult& r, double sampleRate, JsonWriter& j);
