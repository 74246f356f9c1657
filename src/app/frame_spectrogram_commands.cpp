// The spectrogram's source (the whole capture, or a copy of the working waveform), its
// settings and colours, its pane in the 4-up view, and what a box chosen on it leads to.

#include <cmath>
#include <cstdio>

#include "app/main_frame.h"
#include "app/view.h"
#include "display/value_format.h"
#include "waveform/capture_source.h"

namespace {

// Samples copied out of the working waveform, shared by the readers that tiles hold.
struct SampleCopy {
    std::vector<float> I, Q;
};

WindowType WindowFromName(const std::string& name, bool& ok) {
    ok = true;
    if (name == "rect") return kWindowRect;
    if (name == "hann") return kWindowHann;
    if (name == "blackman-harris") return kWindowBlackmanHarris;
    if (name == "bartlett") return kWindowBartlett;
    ok = false;
    return kWindowHann;
}

const char* WindowName(WindowType w) {
    switch (w) {
        case kWindowRect: return "rect";
        case kWindowBlackmanHarris: return "blackman-harris";
        case kWindowBartlett: return "bartlett";
        default: return "hann";
    }
}

}  // namespace

SpectrogramSource CMainFrame::SpectrogramSourceNow() {
    // The colour bar reads dBm when the spectrum's levels do.
    view->spectrogram->dbmOffsetDb = view->engine.dbmOffsetDb;
    view->spectrogram->dbm = view->engine.dbmOffsetDb != 0.0;
    if (busy_ || view->Frozen()) return spectrogramSource_;
    std::unique_lock<std::mutex> lock(waveLock_, std::try_to_lock);
    if (!lock.owns_lock()) return spectrogramSource_;
    const cWaveform& w = mainWave;
    SpectrogramSource s;
    s.sampleRateHz = static_cast<double>(w.sampleRate);
    const bool largeCapture =
        capture_ && capture_->SampleCount() * capture_->BytesPerSample() > kMaxFileBytes;
    const SourceFile file = capture_ ? capture_->Source() : SourceFile{};
    if (largeCapture && !modified_ && w.source.device == file.device &&
        w.source.inode == file.inode) {
        std::shared_ptr<cCaptureSource> capture = capture_;
        // Through small buffers, one per worker thread: a whole-file screen never maps the
        // file into the program.
        s.read = [capture](int64_t first, int64_t count, float* I, float* Q) {
            thread_local std::vector<uint8_t> buffer(size_t{1} << 20);
            return capture->ReadThrough(first, count, I, Q, buffer);
        };
        s.total = capture->SampleCount();
        s.workingFirst = w.source.firstSample;
        s.workingCount = w.sampleCount;
        s.wholeCapture = true;
        s.identity = capture.get();
        return spectrogramSource_ = s;
    }
    const uint64_t generation = view->engine.Generation();
    if (spectrogramSource_.identity == &mainWave && spectrogramSource_.generation == generation &&
        spectrogramSource_.total == w.sampleCount &&
        spectrogramSource_.sampleRateHz == s.sampleRateHz)
        return spectrogramSource_;
    auto copy = std::make_shared<SampleCopy>();
    const int64_t n = std::max(0, w.sampleCount);
    copy->I.assign(w.I.data(), w.I.data() + n);
    copy->Q.assign(w.Q.data(), w.Q.data() + n);
    s.read = [copy](int64_t first, int64_t count, float* I, float* Q) {
        std::copy_n(copy->I.data() + first, count, I);
        std::copy_n(copy->Q.data() + first, count, Q);
        return std::string();
    };
    s.total = n;
    s.timeOffset = w.source.firstSample;
    s.workingCount = n;
    s.identity = &mainWave;
    s.generation = generation;
    return spectrogramSource_ = s;
}

bool CMainFrame::BoxInWorkingWaveform(int64_t& t0, int64_t& t1) {
    if (spectrogramSource_.wholeCapture) {
        t0 -= spectrogramSource_.workingFirst;
        t1 -= spectrogramSource_.workingFirst;
    }
    if (t1 <= 0 || t0 >= mainWave.sampleCount) {
        SetStatusText("ERR: the box lies outside the working waveform: load its time range first");
        return false;
    }
    t0 = std::max<int64_t>(0, t0);
    t1 = std::min<int64_t>(mainWave.sampleCount, t1);
    return true;
}

void CMainFrame::RegisterSpectrogramCommands() {
    CSpectrogramView& sg = *view->spectrogram;
    sg.sourceProvider = [this] { return SpectrogramSourceNow(); };
    sg.onStatus = [this](const std::string& text) { SetStatusText(text); };
    sg.onClick = [this] {
        if (view->ViewType() == kViewMulti) SelectViewType(kViewSpectrogram);
    };
    sg.onShowInSpectrum = [this](double f0, double f1, int64_t t0, int64_t t1) {
        if (!BoxInWorkingWaveform(t0, t1) || !MayRunCommand(kViewIQ)) return;
        SelectViewType(kViewIQ);
        view->settings.fftPosition = static_cast<int>(t0);
        view->ShowXRange(f0, f1);
        RecomputeNow();
        SetStatusText("Spectrum of " + FormatFrequency(f0) + " to " + FormatFrequency(f1) +
                      " from sample " + std::to_string(t0));
    };
    sg.onShowInTime = [this](double, double, int64_t t0, int64_t t1) {
        if (!BoxInWorkingWaveform(t0, t1) || !MayRunCommand(kViewTimeIQ)) return;
        SelectViewType(kViewTimeIQ);
        view->ShowXRange(static_cast<double>(t0), static_cast<double>(t1 - 1));
        RecomputeNow();
    };
    sg.onLoadRange = [this](double, double, int64_t t0, int64_t t1) {
        if (MayRunCommand(kCmdLoadRange)) LoadCaptureRange(t0, t1 - t0);
    };
    sg.onMeasureBand = [this](double f0, double f1, int64_t t0, int64_t t1) {
        if (busy_) return;
        const SpectrogramSource source = spectrogramSource_;
        const SpectrogramSettings settings = view->spectrogram->Settings();
        double power = 0.0;
        std::string why;
        RunBusy(
            [&] {
                WorkControl control;
                control.stop = &stopRequest;
                why = SpectrogramBandPower(source.read, settings, t0, t1 - t0, f0, f1,
                                           source.sampleRateHz, power, &control);
                return 0;
            },
            "a band power measurement");
        if (!why.empty()) {
            SetStatusText("ERR: band power not measured: " + why);
            return;
        }
        const double db = 10.0 * std::log10(power + 1e-30);
        const double rate = source.sampleRateHz;
        char text[256];
        std::snprintf(
            text, sizeof text, "Band power %s to %s, %.6f s to %.6f s: %.2f dBFS (%.2f dBm)",
            FormatFrequency(f0).c_str(), FormatFrequency(f1).c_str(),
            static_cast<double>(t0 + source.timeOffset) / rate,
            static_cast<double>(t1 + source.timeOffset) / rate, db, db + view->engine.dbmOffsetDb);
        SetStatusText(text);
    };

    AddCommand(
        {kCmdSpectrogramSettings},
        [this](int, int64_t) {
            CSpectrogramView& s = *view->spectrogram;
            SpectrogramSettings next = s.Settings();
            const int fft = prompter->PromptInt("Spectrogram FFT size (64 to 65536)", "",
                                                next.fftSize, "SpectrogramFftSize");
            if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
            const std::string window = prompter->PromptString(
                "Spectrogram window: rect, hann, blackman-harris or bartlett", "",
                WindowName(next.window), "SpectrogramWindow");
            if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
            const int overlap = prompter->PromptInt("Spectrogram overlap (0 to 95 %)", "",
                                                    next.overlapPercent, "SpectrogramOverlap");
            if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
            const std::string hold = prompter->PromptString(
                "Rows that cover several frames keep their: peak or mean", "",
                next.hold == SpectrogramHold::kPeak ? "peak" : "mean", "SpectrogramHold");
            if (prompter->lastCancelled) return SetStatusText("Cancelled"), 1;
            bool windowOk = false;
            next.fftSize = fft;
            next.window = WindowFromName(window, windowOk);
            next.overlapPercent = overlap;
            next.hold = hold == "mean" ? SpectrogramHold::kMean : SpectrogramHold::kPeak;
            std::string why = CheckSpectrogramSettings(next);
            if (!windowOk) why = "'" + window + "' is not a window";
            if (hold != "peak" && hold != "mean") why = "'" + hold + "' is neither peak nor mean";
            if (!why.empty()) return SetStatusText("ERR: spectrogram settings kept: " + why), 1;
            s.SetSettings(next);
            SetStatusText("Spectrogram: FFT " + std::to_string(next.fftSize) + ", " +
                          WindowName(next.window) + " window, " +
                          std::to_string(next.overlapPercent) + " % overlap, " + hold + " hold");
            return 1;
        },
        kDisplayCommand);
    AddCommand(
        {kCmdSpectrogramGrey},
        [this](int id, int64_t) {
            const bool grey = !IsChecked(id);
            CheckMenuItem(id, grey);
            view->spectrogram->SetColours(grey ? SpectrogramColours::kGrey
                                               : SpectrogramColours::kPerceptual);
            return 1;
        },
        kDisplayCommand);
    AddCommand(
        {kCmdSpectrogramInMulti},
        [this](int id, int64_t) {
            const bool on = !IsChecked(id);
            CheckMenuItem(id, on);
            view->SetSpectrogramInMulti(on);
            view->update();
            return 1;
        },
        kDisplayCommand);
}
