// What other programs ask the window through the command channel: commands, open, save, tool
// steps, measurements and pictures. A caller on the bus cannot answer a dialog, so none is ever
// shown for it: whatever would ask refuses the call instead, with the reason.

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <sstream>

#include "app/main_frame.h"
#include "app/view.h"
#include "display/frequency_plot.h"
#include "display/json_writer.h"
#include "display/measurement_json.h"
#include "display/modulation_text.h"
#include "display/view_kinds.h"
#include "tools/tool.h"
#include "waveform/fast_file.h"
#include "waveform/file_messages.h"
#include "waveform/sigmf.h"
#include "waveform/waveform_writer.h"

namespace {

// Answers every question of a prompt with a cancel, noting that input was needed.
class RefusingPrompter : public IPrompter {
public:
    explicit RefusingPrompter(std::string& refusal) : refusal_(refusal) {}
    float PromptFloat(const std::string& p, const std::string&, float,
                      const std::string&) override {
        Refuse(p);
        return kCancelFloat;
    }
    double PromptDouble(const std::string& p, const std::string&, double,
                        const std::string&) override {
        Refuse(p);
        return kCancelDouble;
    }
    int PromptInt(const std::string& p, const std::string&, int, const std::string&) override {
        Refuse(p);
        return kCancelInt;
    }
    std::string PromptString(const std::string& p, const std::string&, const std::string&,
                             const std::string&) override {
        Refuse(p);
        return {};
    }

private:
    void Refuse(const std::string& prompt) {
        lastCancelled = true;
        if (refusal_.empty())
            refusal_ = "needs input (\"" + prompt + "\"): use RunTool with the values";
    }
    std::string& refusal_;
};

}  // namespace

std::string CMainFrame::ChannelRefusal(bool changes) const {
    if (busy_) return "the window is busy with " + busyWhat_;
    if (stoppingWorker_) return "the window is busy stopping play-through or monitoring";
    // A dialog of the window waits for its user; a change now could land under its answer.
    if (changes && QApplication::activeModalWidget())
        return "a dialog is open in the window; close it first";
    return {};
}

template <class Body>
auto CMainFrame::RunForChannel(bool changes, ChannelCall& call, Body body) -> decltype(body()) {
    using Result = decltype(body());
    call.error = ChannelRefusal(changes);
    if (!call.error.empty()) return Result{};
    // The running vector trail ends, as a right click ends it.
    view->StopAnimation();

    // Every dialog the call could reach answers with a refusal.
    std::string refusal;
    RefusingPrompter refusingPrompter(refusal);
    IPrompter* const prompterBefore = prompter;
    const auto openBefore = chooseOpenFile, saveBefore = chooseSaveFile,
               exportBefore = chooseExportFile;
    const auto toolFileBefore = chooseToolFile;
    const auto confirmBefore = confirm;
    const auto noticeBefore = showNotice, informBefore = inform;
    const auto askBefore = askSaveChanges;
    const auto refuse = [&refusal](const std::string& why) {
        if (refusal.empty()) refusal = why;
    };
    prompter = &refusingPrompter;
    chooseOpenFile = chooseSaveFile = chooseExportFile = [refuse] {
        refuse("needs a file name: give the path in the call");
        return std::string();
    };
    chooseToolFile = [refuse](const std::string&) {
        refuse("needs a file name: give it in the tool step (file=PATH)");
        return std::string();
    };
    confirm = [refuse](const std::string&, const std::string& text) {
        refuse("needs an answer: " + text);
        return false;
    };
    showNotice = [refuse](const std::string&, const std::string& text) { refuse(text); };
    inform = [](const std::string&, const std::string&) {};
    const bool discard = call.discard;
    askSaveChanges = [refuse, discard](const std::string& name) {
        if (discard) return SaveChoice::Discard;
        refuse("unsaved edits of " + name + " would be lost: save them, or ask to discard them");
        return SaveChoice::Cancel;
    };

    const Result result = body();

    prompter = prompterBefore;
    chooseOpenFile = openBefore;
    chooseSaveFile = saveBefore;
    chooseExportFile = exportBefore;
    chooseToolFile = toolFileBefore;
    confirm = confirmBefore;
    showNotice = noticeBefore;
    inform = informBefore;
    askSaveChanges = askBefore;
    if (call.error.empty()) call.error = refusal;
    return call.error.empty() ? result : Result{};
}

int64_t CMainFrame::ChannelCommand(int id, int64_t value, ChannelCall& call) {
    const bool query = id == kCmdQueryReference || id == kCmdQueryDivisions || id == kCmdQueryScale;
    return RunForChannel(!query, call, [&]() -> int64_t {
        if (id == kCmdFirDesigner) {
            call.error = "the FIR designer is interactive: use qrvn fir-design for its taps";
            return 0;
        }
        if (id == kViewVector) {
            // The trail runs until it ends or something stops it: the call returns once it
            // has started.
            if (!MayRunCommand(id)) {
                call.error = "the window is busy";
                return 0;
            }
            QTimer::singleShot(0, this, [this] { OnCommand(kViewVector); });
            return 1;
        }
        const int64_t result = OnCommand(id, value);
        if (result == 0 && !query && call.error.empty())
            call.error = lastStatus.empty() ? "the command was refused" : lastStatus;
        return result;
    });
}

bool CMainFrame::ChannelOpen(const std::string& path, ChannelCall& call) {
    return RunForChannel(true, call, [&] {
        // A path of any length is a path here: a short one would open the file dialog.
        if (path.empty()) {
            call.error = "a path is needed";
            return false;
        }
        if (!MayRunCommand(kCmdOpen)) {
            call.error = "the window is busy";
            return false;
        }
        if (!MayDiscardEdits()) return false;
        if (OpenWaveformFile(path, true, false) != 0) {
            call.error = lastStatus;
            return false;
        }
        RecomputeNow();
        return true;
    });
}

bool CMainFrame::ChannelSave(const std::string& path, int type, const std::string& description,
                             const std::string& author, ChannelCall& call) {
    return RunForChannel(true, call, [&] {
        if (path.empty()) {
            call.error = "a path is needed";
            return false;
        }
        if (!HasEncoder(type)) {
            call.error = "file type " + std::to_string(type) + " cannot be written";
            return false;
        }
        if (!MayRunCommand(kCmdSaveAs)) {
            call.error = "the window is busy";
            return false;
        }
        // A recording's texts come with the call, never from prompts.
        if (IsSigmfRecordingPath(path)) {
            mainWave.recording.description = description;
            mainWave.recording.author = author;
        }
        const int previous = mainWave.fileType;
        mainWave.fileType = type;
        SaveWaveformAs(path, true, true, false);
        const bool saved = lastStatus == "File Saved";
        if (!saved) {
            mainWave.fileType = previous;
            if (call.error.empty()) call.error = lastStatus;
        }
        CheckOnly(kFileTypeCommands, mainWave.fileType);
        ShowDecodeSettings();
        return saved;
    });
}

int CMainFrame::ChannelRunTool(const std::string& step, ChannelCall& call) {
    return RunForChannel(true, call, [&] {
        // What a tool reports in a message box (peak windowing's EVM) is a result here.
        showNotice = [this](const std::string&, const std::string& text) { SetStatusText(text); };
        std::string error;
        const int code = RunToolStep(step, error);
        if (!error.empty()) call.error = error;
        return code;
    });
}

std::string CMainFrame::MeasurementsJson() {
    // Tone 1 depends on the columns that show the spectrum: as wide as the window's view.
    std::unique_lock<std::mutex> lock(waveLock_, std::defer_lock);
    if (WorkerRunning()) lock.lock();
    const int kind = IsSpectrumKind(view->ViewType())
                         ? view->ViewType()
                         : (view->recompute.lastWasReal ? kViewI : kViewIQ);
    double f0 = 0, f1 = 0;
    if (IsSpectrumKind(view->ViewType()) && view->xEnd > view->xStart) {
        f0 = view->xStart;
        f1 = view->xEnd;
    } else {
        FullViewRange(kind, mainWave.sampleRate, mainWave.sampleCount, f0, f1);
    }
    // Measured as the window's spectrum of this width shows it.
    MeasureShown(view->engine, std::max(view->width(), 400), f0, f1);
    std::ostringstream out;
    MeasurementView shown{currentFileName,
                          kind,
                          view->recompute.framesLastRecompute,
                          f0,
                          f1,
                          mainWave.recording.centreFrequencyHz};
    // The modulation analysis of these samples, when one was made.
    shown.more = [&](JsonWriter& j) {
        const auto* m = view->engine.ModulationOf(mainWave);
        if (m && m->blind) WriteModulationJson(m->settings, *m->blind, j);
        if (m && m->reference) WriteReferenceEvmJson(*m->reference, m->sampleRate, j);
    };
    WriteMeasurementsJson(view->engine, shown, out);
    return out.str();
}

std::string CMainFrame::ChannelMeasurements(ChannelCall& call) {
    return RunForChannel(false, call, [&] { return MeasurementsJson(); });
}

std::string CMainFrame::ChannelMarkers(ChannelCall& call) {
    return RunForChannel(false, call, [&] {
        std::unique_lock<std::mutex> lock(waveLock_, std::defer_lock);
        if (WorkerRunning()) lock.lock();
        return view->MarkerTableNow().json;
    });
}

bool CMainFrame::ChannelSetMarker(int number, double position, ChannelCall& call) {
    return RunForChannel(false, call, [&] {
        std::unique_lock<std::mutex> lock(waveLock_, std::defer_lock);
        if (WorkerRunning()) lock.lock();
        std::string why;
        const std::optional<double> at =
            std::isnan(position) ? std::nullopt : std::optional<double>(position);
        if (!view->SetMarker(number, at, why)) call.error = why;
        return call.error.empty();
    });
}

bool CMainFrame::ChannelRender(const std::string& path, int W, int H, ChannelCall& call) {
    return RunForChannel(false, call, [&] {
        if (W < 64 || H < 64 || W > 10000 || H > 10000) {
            call.error = "a picture size from 64 to 10000 pixels is needed";
            return false;
        }
        std::unique_lock<std::mutex> lock(waveLock_, std::defer_lock);
        if (WorkerRunning()) lock.lock();
        const QImage image = view->Render(W, H);
        lock = {};
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        if (!image.save(&buffer, "PNG")) {
            call.error = "the picture could not be encoded";
            return false;
        }
        int error = 0;
        const SaveFailure why =
            WriteWholeFile(path, png.constData(), static_cast<size_t>(png.size()), &error);
        if (why != SaveFailure::None) {
            call.error = SaveFailureText(why, error, path);
            return false;
        }
        SetStatusText("Picture written");
        return true;
    });
}
