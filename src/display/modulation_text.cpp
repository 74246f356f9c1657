#include "display/modulation_text.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "display/json_writer.h"

namespace {

std::string Format(const char* format, ...) {
    char text[256];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

const char* ShapeName(PulseShape p) {
    switch (p) {
        case PulseShape::None: return "none";
        case PulseShape::RaisedCosine: return "rc";
        case PulseShape::RootRaisedCosine: return "rrc";
    }
    return "";
}

// v with d decimals, never "-0.00": a value that rounds to nothing has no sign.
std::string Number(double v, int d) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", d, v);
    std::string t = text;
    if (t[0] == '-' && t.find_first_of("123456789") == std::string::npos) t.erase(0, 1);
    return t;
}

}  // namespace

std::string ModulationSettingsText(const ModulationSettings& s) {
    std::string text =
        Format("%s, %.6g Msym/s", ModulationName(s.modulation), s.symbolRateHz / 1e6);
    if (s.shape == PulseShape::RootRaisedCosine) text += Format(", RRC %.3g", s.rollOff);
    if (s.shape == PulseShape::RaisedCosine) text += Format(", RC %.3g", s.rollOff);
    if (s.equalise) text += ", equalised";
    return text;
}

std::vector<std::string> ModulationLines(const ModulationSettings& s, const ModulationResult& r) {
    std::vector<std::string> lines = {
        "Modulation: " + ModulationSettingsText(s),
        Format("Symbols: %lld", static_cast<long long>(r.symbols)),
        Format("EVM: %.2f %% rms (%.2f dB)", r.evmRmsPercent, r.evmRmsDb),
        Format("EVM Peak: %.2f %% at symbol %lld", r.evmPeakPercent,
               static_cast<long long>(r.evmPeakSymbol)),
        Format("MER: %.2f dB", r.merDb),
        Format("Magnitude Error: %.2f %% rms", r.magnitudeErrorRmsPercent),
        Format("Phase Error: %.2f deg rms", r.phaseErrorRmsDeg),
        "Frequency Error: " + Number(r.frequencyErrorHz, 1) + " Hz",
        Format("IQ Origin Offset: %.2f dB", r.originOffsetDb),
    };
    if (std::isfinite(r.gainImbalanceDb)) {
        lines.push_back("Gain Imbalance: " + Number(r.gainImbalanceDb, 3) + " dB");
        lines.push_back("Quadrature Error: " + Number(r.quadratureErrorDeg, 3) + " deg");
    }
    lines.push_back("Timing Offset: " + Number(r.timingOffsetSymbols, 3) + " symbols");
    return lines;
}

std::vector<std::string> ReferenceEvmLines(const ReferenceEvmResult& r, double sampleRate) {
    return {
        Format("EVM against Reference: %.3f %% rms (%.2f dB)", r.evmRmsPercent, r.evmRmsDb),
        Format("EVM Peak: %.3f %% at sample %lld", r.evmPeakPercent,
               static_cast<long long>(r.evmPeakSample)),
        "Reference Delay: " + Number(r.delaySamples, 4) + " samples (" +
            Format("%.6g", std::abs(r.delaySamples) < 5e-5 ? 0.0 : r.delaySamples / sampleRate) +
            " s)",
        "Frequency Offset: " + Number(r.frequencyOffsetHz, 2) + " Hz",
        "Phase Offset: " + Number(r.phaseDeg, 3) + " deg",
        Format("Gain: %.3f dB", r.gainDb),
        Format("Samples Compared: %lld from sample %lld", static_cast<long long>(r.samples),
               static_cast<long long>(r.firstSample)),
    };
}

void WriteModulationJson(const ModulationSettings& s, const ModulationResult& r, JsonWriter& j) {
    j.BeginObject("modulation");
    j.Field("modulation", ModulationName(s.modulation));
    j.Field("symbol_rate_hz", s.symbolRateHz);
    j.Field("pulse", ShapeName(s.shape));
    if (s.shape != PulseShape::None) j.Field("roll_off", s.rollOff);
    j.Field("equalised", s.equalise);
    j.Field("symbols", static_cast<double>(r.symbols));
    j.Field("evm_rms_percent", r.evmRmsPercent);
    j.Field("evm_rms_db", r.evmRmsDb);
    j.Field("evm_peak_percent", r.evmPeakPercent);
    j.Field("evm_peak_symbol", static_cast<double>(r.evmPeakSymbol));
    j.Field("mer_db", r.merDb);
    j.Field("magnitude_error_rms_percent", r.magnitudeErrorRmsPercent);
    j.Field("phase_error_rms_deg", r.phaseErrorRmsDeg);
    j.Field("frequency_error_hz", r.frequencyErrorHz);
    j.Field("iq_origin_offset_db", r.originOffsetDb);
    if (std::isfinite(r.gainImbalanceDb)) {
        j.Field("gain_imbalance_db", r.gainImbalanceDb);
        j.Field("quadrature_error_deg", r.quadratureErrorDeg);
    }
    j.Field("timing_offset_symbols", r.timingOffsetSymbols);
    j.EndObject();
}

void WriteReferenceEvmJson(const ReferenceEvmResult& r, double sampleRate, JsonWriter& j) {
    j.BeginObject("evm_reference");
    j.Field("evm_rms_percent", r.evmRmsPercent);
    j.Field("evm_rms_db", r.evmRmsDb);
    j.Field("evm_peak_percent", r.evmPeakPercent);
    j.Field("evm_peak_sample", static_cast<double>(r.evmPeakSample));
    j.Field("delay_samples", r.delaySamples);
    j.Field("delay_s", r.delaySamples / sampleRate);
    j.Field("frequency_offset_hz", r.frequencyOffsetHz);
    j.Field("phase_offset_deg", r.phaseDeg);
    j.Field("gain_db", r.gainDb);
    j.Field("samples", static_cast<double>(r.samples));
    j.Field("first_sample", static_cast<double>(r.firstSample));
    j.EndObject();
}
