// Measure > Modulation Analysis…, EVM against Reference File… and Clear Modulation Results:
// the analysis runs on a worker with the stop button while the window stays live; its results
// are kept with the samples they were made of and shown by the constellation and EVM views.

#include <cmath>
#include <cstdio>

#include "app/main_frame.h"
#include "app/marker_dock.h"
#include "app/view.h"
#include "display/modulation_text.h"
#include "tools/second_file.h"
#include "ui/status_bar.h"
#include "waveform/file_messages.h"

namespace {

// The reference's path as chosen already: a second file read as the tools read one.
class ChosenFile : public IToolInput {
public:
    explicit ChosenFile(std::string path) : path_(std::move(path)) {}
    float Float(const PromptSpec&, float def) override { return def; }
    double Double(const PromptSpec&, double def) override { return def; }
    int Int(const PromptSpec&, int def) override { return def; }
    std::string Text(const PromptSpec&, const std::string& def) override { return def; }
    std::string FileName(const PromptSpec&, const std::string&) override { return path_; }

private:
    std::string path_;
};

constexpr PromptSpec kReferenceFile{.name = "file",
                                    .type = PromptType::File,
                                    .prompt = "Open the reference waveform (the clean one)"};

// "rrc 0.22", "rc 0.5" or "none" into the settings; false for anything else.
bool ParsePulse(const std::string& text, ModulationSettings& s) {
    char name[8] = {};
    double beta = 0;
    if (text == "none") {
        s.shape = PulseShape::None;
        return true;
    }
    if (std::sscanf(text.c_str(), "%7s %lf", name, &beta) != 2 || !(beta > 0 && beta <= 1))
        return false;
    const std::string n = name;
    if (n != "rrc" && n != "rc") return false;
    s.shape = n == "rrc" ? PulseShape::RootRaisedCosine : PulseShape::RaisedCosine;
    s.rollOff = beta;
    return true;
}

}  // namespace

std::string CMainFrame::MeasureBusy(const std::function<std::string(const WorkControl&)>& work,
                                    const std::string& what) {
    std::string why;
    RunBusy(
        [&] {
            WorkControl control;
            control.stop = &stopRequest;
            control.progress = [this](int percent) { statusBar->SetProgress(percent); };
            why = work(control);
            return 0;
        },
        what);
    return why;
}

void CMainFrame::ShowModulationTable() {
    if (QAction* table = ActionFor(kCmdMarkerTable); table && markerDock_->isHidden())
        OnCommand(kCmdMarkerTable);
    RefreshMarkerTable(false);
}

void CMainFrame::RegisterModulationCommands() {
    AddCommand({kCmdModulationAnalysis}, [this](int, int64_t) {
        if (mainWave.sampleCount <= 0) return SetStatusText("ERR: no waveform to analyse"), 0;
        ModulationSettings s;
        const std::string name = prompter->PromptString(
            "Modulation: bpsk, qpsk, 8psk, qam16, qam64 or qam256", "", "qpsk", "ModulationName");
        if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
        if (!ParseModulation(name, s.modulation))
            return SetStatusText("ERR: '" + name + "' is not a modulation"), 0;
        s.symbolRateHz = prompter->PromptDouble("Symbol rate (Hz)", "", 1e6, "ModulationRate");
        if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
        const std::string pulse =
            prompter->PromptString("Pulse shape: rrc ROLLOFF, rc ROLLOFF or none", "e.g. rrc 0.22",
                                   "rrc 0.22", "ModulationPulse");
        if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
        if (!ParsePulse(pulse, s))
            return SetStatusText("ERR: '" + pulse +
                                 "' is not a pulse shape: rrc 0.22, rc 0.5 "
                                 "or none"),
                   0;
        const std::string equalise =
            prompter->PromptString("Equaliser (nine taps, trained on the decisions): on or off", "",
                                   "off", "ModulationEqualiser");
        if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
        if (equalise != "on" && equalise != "off")
            return SetStatusText("ERR: the equaliser is on or off, not '" + equalise + "'"), 0;
        s.equalise = equalise == "on";
        ModulationResult r;
        const std::string why = MeasureBusy(
            [&](const WorkControl& control) {
                return AnalyseModulation(mainWave.I.data(), mainWave.Q.data(), mainWave.sampleCount,
                                         static_cast<double>(mainWave.sampleRate), s, r, control);
            },
            "a modulation analysis");
        if (!why.empty()) return SetStatusText("ERR: modulation not analysed: " + why), 0;
        view->engine.KeepModulation(mainWave, s, std::move(r), std::nullopt, "");
        if (view->ViewType() != kViewAnalysisEvm) SelectViewType(kViewConstellation);
        ShowModulationTable();
        RecomputeNow();
        const ModulationResult& kept = *view->engine.modulation->blind;
        char text[200];
        std::snprintf(text, sizeof text,
                      "%s: EVM %.2f %% rms (%.2f dB), MER %.2f dB over %lld symbols",
                      ModulationSettingsText(s).c_str(), kept.evmRmsPercent, kept.evmRmsDb,
                      kept.merDb, static_cast<long long>(kept.symbols));
        SetStatusText(text);
        return 1;
    });
    AddCommand({kCmdEvmReference}, [this](int, int64_t) {
        if (mainWave.sampleCount <= 0) return SetStatusText("ERR: no waveform to measure"), 0;
        const std::string path = chooseToolFile ? chooseToolFile(kReferenceFile.prompt) : "";
        if (path.empty()) return SetStatusText("Cancelled"), 1;
        ChosenFile input(path);
        ToolContext ctx;
        ctx.input = &input;
        cWaveform reference;
        if (LoadSecondWaveform(ctx, kReferenceFile, mainWave.fileType, mainWave.sampleRate,
                               reference) != kToolOk)
            return SetStatusText("ERR: the reference cannot be read: " +
                                 LoadFailureText(reference)),
                   0;
        if (reference.sampleRate != mainWave.sampleRate)
            return SetStatusText("ERR: the reference's rate (" +
                                 std::to_string(reference.sampleRate) +
                                 " Hz) is not the waveform's"),
                   0;
        ReferenceEvmResult r;
        const std::string why = MeasureBusy(
            [&](const WorkControl& control) {
                return MeasureEvmAgainstReference(
                    mainWave.I.data(), mainWave.Q.data(), mainWave.sampleCount, reference.I.data(),
                    reference.Q.data(), reference.sampleCount,
                    static_cast<double>(mainWave.sampleRate), r, control);
            },
            "an EVM measurement against a reference");
        if (!why.empty()) return SetStatusText("ERR: EVM not measured: " + why), 0;
        const std::string name = path.substr(path.find_last_of('/') + 1);
        view->engine.KeepModulation(mainWave, {}, std::nullopt, std::move(r), name);
        SelectViewType(kViewAnalysisEvm);
        ShowModulationTable();
        RecomputeNow();
        const ReferenceEvmResult& kept = *view->engine.modulation->reference;
        char text[300];
        std::snprintf(text, sizeof text,
                      "EVM against %s: %.3f %% rms (%.2f dB), delay %.3f samples, %.2f Hz",
                      name.c_str(), kept.evmRmsPercent, kept.evmRmsDb, kept.delaySamples,
                      kept.frequencyOffsetHz);
        SetStatusText(text);
        return 1;
    });
    AddCommand(
        {kCmdModulationClear},
        [this](int, int64_t) {
            view->engine.modulation.reset();
            if (view->ViewType() == kViewAnalysisEvm) SelectViewType(kViewConstellation);
            RefreshMarkerTable(false);
            view->RequestRedraw();
            SetStatusText("Modulation results cleared");
            return 1;
        },
        kDisplayCommand);
}
