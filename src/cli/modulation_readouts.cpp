#include "cli/modulation_readouts.h"

#include "cli/verb_support.h"
#include "display/json_writer.h"
#include "display/modulation_text.h"
#include "waveform/waveform.h"

const std::vector<OptionSpec> kModulationOptions = {
    {"--modulation", true, false}, {"--symbol-rate", true, false},
    {"--rrc", true, false},        {"--rc", true, false},
    {"--equalise", false, false},  {"--evm-reference", true, false}};
const char* const kModulationHelp =
    "  --modulation M  modulation accuracy (EVM, MER, impairments), found blind:\n"
    "                  M is bpsk, qpsk, 8psk, qam16, qam64 or qam256; with:\n"
    "  --symbol-rate HZ   the symbol rate (from 1/1000 of the sample rate up to it)\n"
    "  --rrc B, --rc B    root raised cosine (matched filter) or raised cosine pulses of\n"
    "                  roll-off B; neither: unshaped symbols\n"
    "  --equalise      a nine-tap least-squares equaliser trained on the decisions\n"
    "  --evm-reference FILE   the EVM against FILE (the clean waveform, same rate) after\n"
    "                  aligning time, frequency, phase and gain: any waveform\n";

ModulationRequest ModulationRequestOrFail(const ParsedArguments& a) {
    ModulationRequest r;
    if (a.Has("--evm-reference")) {
        r.referencePath = a.Get("--evm-reference");
        if (r.referencePath.empty()) Fail("--evm-reference needs a FILE");
    }
    const bool shaped = a.Has("--rrc") || a.Has("--rc");
    if (!a.Has("--modulation")) {
        if (a.Has("--symbol-rate") || shaped || a.Has("--equalise"))
            Fail("--symbol-rate, --rrc, --rc and --equalise go with --modulation");
        return r;
    }
    ModulationSettings s;
    if (!ParseModulation(a.Get("--modulation"), s.modulation))
        Fail("--modulation takes bpsk, qpsk, 8psk, qam16, qam64 or qam256, not '" +
             a.Get("--modulation") + "'");
    if (!a.Has("--symbol-rate")) Fail("--modulation needs --symbol-rate HZ");
    const auto rate = ParseNumber(a.Get("--symbol-rate"));
    if (!rate || !(*rate > 0))
        Fail("--symbol-rate takes a rate in Hz: '" + a.Get("--symbol-rate") + "'");
    s.symbolRateHz = *rate;
    if (a.Has("--rrc") && a.Has("--rc")) Fail("--rrc and --rc exclude each other");
    s.shape = a.Has("--rrc")  ? PulseShape::RootRaisedCosine
              : a.Has("--rc") ? PulseShape::RaisedCosine
                              : PulseShape::None;
    if (shaped) {
        const std::string option = a.Has("--rrc") ? "--rrc" : "--rc";
        const auto beta = ParseNumber(a.Get(option));
        if (!beta || !(*beta > 0 && *beta <= 1))
            Fail(option + " takes a roll-off above 0 and at most 1: '" + a.Get(option) + "'");
        s.rollOff = *beta;
    }
    s.equalise = a.Has("--equalise");
    r.blind = s;
    return r;
}

ModulationFigures ModulationFiguresOrFail(const ModulationRequest& request, const cWaveform& wave,
                                          const ParsedArguments& a, std::ostream& err) {
    ModulationFigures f;
    f.sampleRate = static_cast<double>(wave.sampleRate);
    const int64_t n = wave.sampleCount;
    if (request.blind) {
        f.settings = *request.blind;
        ModulationResult r;
        const std::string why =
            AnalyseModulation(wave.I.data(), wave.Q.data(), n, f.sampleRate, f.settings, r, {});
        if (!why.empty()) Fail("modulation analysis: " + why);
        f.blind = std::move(r);
    }
    if (!request.referencePath.empty()) {
        ParsedArguments load = a;
        load.options.erase("--range");
        Loaded reference;
        LoadOrFail(request.referencePath, load, reference, err);
        if (reference.wave.sampleRate != wave.sampleRate)
            Fail("the reference's sample rate (" + std::to_string(reference.wave.sampleRate) +
                 " Hz) differs from the capture's (" + std::to_string(wave.sampleRate) + " Hz)");
        ReferenceEvmResult r;
        const std::string why = MeasureEvmAgainstReference(
            wave.I.data(), wave.Q.data(), n, reference.wave.I.data(), reference.wave.Q.data(),
            reference.wave.sampleCount, f.sampleRate, r, {});
        if (!why.empty()) Fail("EVM against " + Printable(request.referencePath) + ": " + why);
        f.reference = std::move(r);
    }
    return f;
}

void ModulationFigureLines(const ModulationFigures& f, std::ostream& out) {
    if (f.blind)
        for (const std::string& line : ModulationLines(f.settings, *f.blind))
            out << line << "\n";
    if (f.reference)
        for (const std::string& line : ReferenceEvmLines(*f.reference, f.sampleRate))
            out << line << "\n";
}

void ModulationFigureJson(const ModulationFigures& f, JsonWriter& j) {
    if (f.blind) WriteModulationJson(f.settings, *f.blind, j);
    if (f.reference) WriteReferenceEvmJson(*f.reference, f.sampleRate, j);
}
