#include "cli/commands.h"

#include <QBuffer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/arguments.h"
#include "cli/marker_readouts.h"
#include "cli/modulation_readouts.h"
#include "cli/spectrogram_command.h"
#include "cli/verb_support.h"
#include "display/annotation_overlay.h"
#include "display/axis_scale.h"
#include "display/frequency_plot.h"
#include "display/json_writer.h"
#include "display/measurement_json.h"
#include "display/plot_engine.h"
#include "display/value_format.h"
#include "display/view_kinds.h"
#include "measure/whole_capture.h"
#include "spectrum/trace_recompute.h"
#include "waveform/capture_source.h"
#include "waveform/data_digest.h"
#include "waveform/file_messages.h"
#include "waveform/number_format.h"
#include "waveform/sample_rate_name.h"
#include "waveform/sigmf.h"
#include "waveform/wav_file.h"
#include "waveform/waveform.h"
#include "waveform/waveform_writer.h"

namespace {

const char* kTopHelp =
    "qrvn: IQ waveform measurements, conversion, plots and edits without a window\n"
    "\n"
    "usage: qrvn VERB [arguments]   (qrvn VERB --help for each verb)\n"
    "  info FILE       samples, rate, duration, RMS, peak, crest factor, DC, and a SigMF\n"
    "                  recording's metadata\n"
    "  measure FILE    spectrum measurements as the spectrum view shows them (--whole: of\n"
    "                  every frame of a file of any size)\n"
    "  overview FILE   peak and mean power against time of a whole file, as a .npy\n"
    "  spectrogram FILE  power against time and frequency of a file of any size, as a .npy\n"
    "  convert IN OUT  re-encode a waveform file in another file type\n"
    "  render FILE     draw a view into a PNG file\n"
    "  remote ACTION   drive a running window (open, save, command, tool, measure, render)\n"
    "  edit IN -o OUT  run editing tools on a waveform and save it\n"
    "  fir-design      design a low-pass FIR filter and write its taps\n"
    "\n"
    "exit status: 0 done, 1 the output could not be written, 2 bad arguments, an unreadable\n"
    "file or a file not written, 3 emission mask failed, 4 an edit step failed\n";

const char* kMeasureOptionsHelp =
    "  --fft N         FFT size, a power of two from 128 to 524288 (default 16384)\n"
    "  --window W      rect, hann, blackman-harris (default) or bartlett\n"
    "  --average       average every whole frame (default)   --clear-write   one frame\n"
    "  --ac            AC coupling (subtract the frame mean)\n"
    "  --view V        i, q, iq (default), qi, iq-dcfs, qi-dcfs or 301-306\n"
    "  --span F0:F1    frequency span in Hz for the tone measurements (default: the view's)\n"
    "  --snr [BW]      SNR (on by default) over BW Hz around the peak (default: the span)\n"
    "  --sfdr          spur search and SFDR\n"
    "  --imd           two-tone third-order intermodulation and IP3\n"
    "  --obw           occupied bandwidth (99 %)\n"
    "  --aclr C        5, 10, 15, 20 (LTE MHz), wcdma or auto\n"
    "  --mask T        emission mask 705, 706, 707, 40128 or 1016, with --mask-bw\n"
    "  --mask-bw B     5, 10, 15, 20 (MHz) or auto\n"
    "  --carrier-dbm P carrier power for the mask, -100 < P < 100 (default 47)\n"
    "  --dbm-offset X  dBFS-to-dBm offset added to printed levels\n";

const std::vector<OptionSpec> kMeasureOptions = {
    {"--fft", true, false},          {"--window", true, false},  {"--average", false, false},
    {"--clear-write", false, false}, {"--ac", false, false},     {"--view", true, false},
    {"--span", true, false},         {"--snr", true, true},      {"--sfdr", false, false},
    {"--imd", false, false},         {"--obw", false, false},    {"--aclr", true, false},
    {"--mask", true, false},         {"--mask-bw", true, false}, {"--carrier-dbm", true, false},
    {"--dbm-offset", true, false}};

std::string RateText(int64_t hz) { return FormatSampleRate(hz); }

// ---- info ----------------------------------------------------------------------------------

// The figures info prints; levels are absent for a capture described from its size.
struct InfoFigures {
    int fileType = 0;
    int64_t samples = 0;
    int64_t sampleRate = 0;
    std::string rateSource, rateRule;
    const RecordingInfo* recording = nullptr;
    bool levels = false;
    double rmsDb = 0, peakDb = 0, dcI = 0, dcQ = 0;
    bool real = false;
    int64_t nonFinite = 0;
    std::string digestCheck;  // "matches", "differs", "not checked (why)", or "" without a digest
};

// Reads the recording's data to compare its digest with core:sha512 (see InfoFigures).
std::string DigestCheck(const RecordingInfo& r) {
    if (r.sha512.empty() || r.dataPath.empty()) return "";
    std::string hex;
    if (std::string why = Sha512OfFile(r.dataPath, r.dataOffset, r.dataBytes, hex); !why.empty())
        return "not checked (" + why + ")";
    return hex == r.sha512 ? "matches" : "differs";
}

void PrintInfo(const std::string& file, const InfoFigures& f, bool json, std::ostream& out) {
    const RecordingInfo& r = *f.recording;
    const double duration = static_cast<double>(f.samples) / static_cast<double>(f.sampleRate);
    if (json) {
        JsonWriter j(out);
        j.Begin();
        j.Field("file", file);
        j.Field("file_type", static_cast<double>(f.fileType));
        j.Field("samples", static_cast<double>(f.samples));
        j.Field("sample_rate_hz", static_cast<double>(f.sampleRate));
        j.Field("sample_rate_source", f.rateSource);
        if (!f.rateRule.empty()) j.Field("sample_rate_rule", f.rateRule);
        j.Field("duration_s", duration);
        if (f.levels) {
            j.Field("rms_dbfs", f.rmsDb);
            j.Field("peak_dbfs", f.peakDb);
            j.Field("crest_factor_db", f.peakDb - f.rmsDb);
            j.Field("dc_i", f.dcI);
            j.Field("dc_q", f.dcQ);
            j.Field("complex", !f.real);
            j.Field("non_finite_values", static_cast<double>(f.nonFinite));
        } else {
            j.Field("levels_read", false);
        }
        if (r.centreFrequencyHz) j.Field("centre_frequency_hz", *r.centreFrequencyHz);
        if (!r.datatype.empty()) {
            j.BeginObject("sigmf");
            j.Field("datatype", r.datatype);
            j.Field("description", r.description);
            j.Field("author", r.author);
            j.Field("annotations", static_cast<double>(r.annotationCount));
            j.Field("described_samples", static_cast<double>(r.describedSamples));
            j.Field("channels", static_cast<double>(r.channelCount));
            j.Field("channel", static_cast<double>(r.channel));
            if (!r.sha512.empty()) {
                j.Field("sha512", r.sha512);
                j.Field("sha512_check", f.digestCheck);
            }
            j.BeginArray("segments");
            for (const SigmfSegment& s : r.segments) {
                j.BeginObject();
                j.Field("first_sample", static_cast<double>(s.firstSample));
                if (s.frequencyHz) j.Field("frequency_hz", *s.frequencyHz);
                if (!s.datetime.empty()) j.Field("datetime", s.datetime);
                j.EndObject();
            }
            j.EndArray();
            j.BeginArray("annotation_list");
            for (const SigmfAnnotation& a : r.annotations) {
                j.BeginObject();
                j.Field("first_sample", static_cast<double>(a.firstSample));
                j.Field("sample_count", static_cast<double>(a.sampleCount));
                j.Field("label", a.label);
                j.Field("comment", a.comment);
                if (a.lowerHz) j.Field("freq_lower_edge_hz", *a.lowerHz);
                if (a.upperHz) j.Field("freq_upper_edge_hz", *a.upperHz);
                j.EndObject();
            }
            j.EndArray();
            j.EndObject();
        }
        j.End();
        return;
    }
    // Types without a menu entry (SigMF's big-endian floats, WAV's 8 and 24-bit) by their name.
    const char* typeName = FileTypeMenuText(f.fileType);
    if (!typeName && *FileTypeShortName(f.fileType)) typeName = FileTypeShortName(f.fileType);
    out << "file: " << Printable(file) << "\n";
    out << "type: " << f.fileType << (typeName ? std::string(" (") + typeName + ")" : std::string())
        << "\n";
    if (!r.datatype.empty()) out << "recording: SigMF, datatype " << Printable(r.datatype) << "\n";
    if (!r.description.empty()) out << "description: " << Printable(r.description) << "\n";
    if (!r.author.empty()) out << "author: " << Printable(r.author) << "\n";
    if (r.channelCount > 1)
        out << "channels: " << r.channelCount << " (reading channel " << r.channel
            << "; --channel N for another)\n";
    if (!f.digestCheck.empty())
        out << "sha512: "
            << (f.digestCheck == "matches"   ? "matches the data"
                : f.digestCheck == "differs" ? "does not match the data: the samples are not "
                                               "those that were recorded"
                                             : f.digestCheck)
            << "\n";
    if (r.segments.size() > 1 || (r.segments.size() == 1 && !r.segments[0].datetime.empty())) {
        out << "segments: " << r.segments.size() << "\n";
        for (size_t k = 0; k < r.segments.size(); ++k) {
            const SigmfSegment& s = r.segments[k];
            out << "  " << k + 1 << ": from sample " << s.firstSample;
            if (s.frequencyHz) out << ", centre " << CentreFrequencyText(*s.frequencyHz);
            if (!s.datetime.empty()) out << ", " << Printable(s.datetime);
            out << "\n";
        }
    }
    if (r.annotationCount > 0) out << "annotations: " << r.annotationCount << "\n";
    for (const SigmfAnnotation& a : r.annotations) {
        out << "  " << Printable(a.label.empty() ? "(no label)" : a.label) << ": sample "
            << a.firstSample << " + " << a.sampleCount;
        if (a.lowerHz && a.upperHz)
            out << ", " << CentreFrequencyText(*a.lowerHz) << " to "
                << CentreFrequencyText(*a.upperHz);
        if (!a.comment.empty()) out << " (" << Printable(a.comment) << ")";
        out << "\n";
    }
    if (r.centreFrequencyHz)
        out << "centre frequency: " << CentreFrequencyText(*r.centreFrequencyHz) << "\n";
    out << "samples: " << f.samples << "\n";
    const std::string source = f.rateSource == "default" ? "default, none in the name"
                               : f.rateSource == "fallback"
                                   ? "fallback, the rate given is below 1 kHz"
                               : f.rateRule.empty() ? "from the " + f.rateSource
                                                    : "from the name: " + f.rateRule;
    out << "sample rate: " << RateText(f.sampleRate) << " (" << source << ")\n";
    out << "duration: " << FormatDuration(f.samples, f.sampleRate) << "\n";
    if (!f.levels) {
        out << "levels: not read, the file is larger than the " << GroupThousands(kMaxFileBytes)
            << " bytes a waveform holds (qrvn measure FILE --whole reads every sample)\n";
        return;
    }
    out << "rms: " << Fixed(f.rmsDb, 2) << " dBFS\n";
    out << "peak: " << Fixed(f.peakDb, 2) << " dBFS\n";
    out << "crest factor: " << Fixed(f.peakDb - f.rmsDb, 2) << " dB\n";
    out << "dc: I " << Fixed(f.dcI, 6) << ", Q " << Fixed(f.dcQ, 6) << "\n";
    out << "signal: " << (f.real ? "real (Q is zero)" : "complex") << "\n";
}

// A binary capture larger than a waveform holds is described from its size and metadata at
// once: its levels would take a read of every byte (measure --whole does that).
bool InfoFromSize(const ParsedArguments& a, std::ostream& out, std::ostream& err) {
    const std::string& path = a.positional[0];
    if (a.Has("--range")) return false;
    const int type = FileTypeOrFail(path, a);
    const std::optional<double> rate = RateOrFail(a);
    cCaptureSource capture;
    if (!capture.Open(path, type, ChannelOrFail(path, a)).empty() ||
        capture.SampleCount() * capture.BytesPerSample() <= kMaxFileBytes)
        return false;  // read whole, as every file within the limit is
    InfoFigures f;
    f.fileType = capture.FileType();
    f.samples = capture.SampleCount();
    f.recording = &capture.Recording();
    f.sampleRate = CaptureRateOf(capture, rate);
    const auto given = capture.Recording().sampleRateHz;
    f.rateSource = rate             ? "option"
                   : !given         ? (capture.NamedSampleRate() > 0 ? "name" : "default")
                   : *given < 999.5 ? "fallback"
                                    : "metadata";
    if (f.rateSource == "name") f.rateRule = CaptureFromName(path).rule;
    if (const std::string notes = capture.Notes(); !notes.empty())
        err << "qrvn: " << Printable(path) << ": " << Printable(notes) << "\n";
    f.digestCheck = DigestCheck(capture.Recording());
    PrintInfo(path, f, a.Has("--json"), out);
    return true;
}

int Info(const ParsedArguments& a, std::ostream& out, std::ostream& err) {
    if (a.positional.size() != 1) Fail("info needs one FILE");
    if (InfoFromSize(a, out, err)) return kExitOk;
    Loaded l;
    LoadOrFail(a.positional[0], a, l, err);
    const cWaveform& w = l.wave;
    const int n = w.sampleCount;
    double power = 0.0, peak = 0.0, sumI = 0.0, sumQ = 0.0;
    for (int k = 0; k < n; ++k) {
        const double p = double(w.I[k]) * w.I[k] + double(w.Q[k]) * w.Q[k];
        power += p;
        peak = std::max(peak, p);
        sumI += w.I[k];
        sumQ += w.Q[k];
    }
    InfoFigures f;
    f.fileType = w.fileType;
    f.samples = n;
    f.sampleRate = w.sampleRate;
    f.rateSource = l.rateSource;
    f.rateRule = l.rateRule;
    f.recording = &w.recording;
    f.levels = true;
    f.rmsDb = 10 * std::log10(power / n + kPowerFloor);
    f.peakDb = 10 * std::log10(peak + kPowerFloor);
    f.dcI = sumI / n;
    f.dcQ = sumQ / n;
    f.real = IsRealWaveform(w);
    f.nonFinite = w.nonFiniteValues;
    f.digestCheck = DigestCheck(w.recording);
    PrintInfo(a.positional[0], f, a.Has("--json"), out);
    return kExitOk;
}

// ---- measure and render --------------------------------------------------------------------

int ViewFromText(const std::string& v) {
    static const std::pair<const char*, int> names[] = {{"i", kViewI},
                                                        {"q", kViewQ},
                                                        {"iq", kViewIQ},
                                                        {"qi", kViewQI},
                                                        {"iq-dcfs", kViewIQDcFs},
                                                        {"qi-dcfs", kViewQIDcFs},
                                                        {"multi", kViewMulti},
                                                        {"time-i", kViewTimeI},
                                                        {"time-q", kViewTimeQ},
                                                        {"time-iq", kViewTimeIQ},
                                                        {"logmag", kViewLogMag},
                                                        {"phase", kViewPhase},
                                                        {"vector", kViewVector},
                                                        {"ccdf", kViewCcdf},
                                                        {"constellation", kViewConstellation}};
    for (auto [name, id] : names)
        if (v == name) return id;
    if (const auto id = ParseInt32(v)) return *id;
    return -1;
}

struct SpectrumRun {
    cPlotEngine engine;
    int view = kViewIQ;  // the spectrum kind computed and measured
    int drawKind = 0;    // a non-spectrum kind to draw instead (render only)
    double f0 = 0, f1 = 0;
    int frames = 0;
    bool maskRequested = false;
};

// A pass over more samples than the waveform holds (measure --whole): it recomputes the trace of
// a spectrum kind with the settings, as a one-channel transform when realFrame, and returns the
// frames it averaged.
using SpectrumPass =
    std::function<int(cSpectrumTrace&, int kind, const SpectrumSettings&, bool realFrame)>;

// Settings from the options, the recompute and Measure exactly as the view runs them, then the
// spectrum drawing (which runs the draw-time tone measurements and writes the panel lines).
// With a wider pass, the trace is then computed again by it over its samples and measured.
void RunSpectrum(const ParsedArguments& a, const cWaveform& w, SpectrumRun& run, int W, int H,
                 QImage* image, bool anyKind = false, const SpectrumPass& wider = {}) {
    SpectrumSettings s;
    if (a.Has("--fft")) {
        const auto n = ParseInt(a.Get("--fft"));
        if (!n || *n < kMinFftSize || *n > kMaxFftSize || (*n & (*n - 1)) != 0)
            Fail("--fft must be a power of two from 128 to 524288");
        s.fftSize = static_cast<int>(*n);
    }
    if (a.Has("--window")) s.window = WindowOrFail(a.Get("--window"));
    if (a.Has("--average") && a.Has("--clear-write"))
        Fail("--average and --clear-write exclude each other");
    s.averaging = !a.Has("--clear-write");
    s.acCoupling = a.Has("--ac");
    s.phaseWanted = a.Has("--phase");
    if (a.Has("--view")) {
        run.view = ViewFromText(a.Get("--view"));
        if (anyKind && IsViewKindCommand(run.view) &&
            (run.view < kViewI || run.view > kViewQIDcFs)) {
            run.drawKind = run.view;
            run.view = kViewIQ;  // the multi view's spectrum pane shows IQ (I when real)
        }
        if (run.view < kViewI || run.view > kViewQIDcFs)
            Fail("view '" + a.Get("--view") + "' is not a " +
                 (anyKind ? "view kind (300-314 or a name)" : "spectrum view"));
    }
    cMeasurements& m = run.engine.measurements;
    if (a.Has("--snr")) {
        if (!a.Get("--snr").empty()) {
            const auto bw = ParseNumber(a.Get("--snr"));
            if (!bw || m.SetSnrBandwidth(*bw, static_cast<double>(w.sampleRate)).empty())
                Fail("--snr bandwidth must lie between 0 and the sample rate");
        }
    }
    m.settings.sfdrOn = a.Has("--sfdr");
    m.settings.imdOn = a.Has("--imd");
    m.settings.obwOn = a.Has("--obw");
    if (a.Has("--aclr")) {
        const std::string v = a.Get("--aclr");
        if (v == "auto")
            m.ToggleLteAutoBandwidth();
        else if (v == "wcdma")
            m.SelectAclrBandwidth(kCmdAclrWcdma);
        else if (v == "5")
            m.SelectAclrBandwidth(kCmdAclr5);
        else if (v == "10")
            m.SelectAclrBandwidth(kCmdAclr10);
        else if (v == "15")
            m.SelectAclrBandwidth(kCmdAclr15);
        else if (v == "20")
            m.SelectAclrBandwidth(kCmdAclr20);
        else
            Fail("--aclr takes 5, 10, 15, 20, wcdma or auto");
    }
    if (a.Has("--mask") != a.Has("--mask-bw")) Fail("--mask and --mask-bw go together");
    if (a.Has("--mask")) {
        const auto type = ParseInt32(a.Get("--mask"));
        if (!type || MaskNumberForType(*type) == 0)
            Fail("--mask takes 705, 706, 707, 40128 or 1016");
        m.SelectMaskType(*type);
        const std::string bw = a.Get("--mask-bw");
        if (bw == "auto")
            m.ToggleMaskAutoBandwidth();
        else if (bw == "5")
            m.SelectMaskBandwidth(kCmdMask5);
        else if (bw == "10")
            m.SelectMaskBandwidth(kCmdMask10);
        else if (bw == "15")
            m.SelectMaskBandwidth(kCmdMask15);
        else if (bw == "20")
            m.SelectMaskBandwidth(kCmdMask20);
        else
            Fail("--mask-bw takes 5, 10, 15, 20 or auto");
        run.maskRequested = true;
    }
    if (a.Has("--carrier-dbm")) {
        const auto p = ParseNumber(a.Get("--carrier-dbm"));
        if (!p || m.SetCarrierPower(*p)[0] == 'E')
            Fail("--carrier-dbm must lie between -100 and 100");
    }
    if (a.Has("--dbm-offset")) {
        const auto x = ParseNumber(a.Get("--dbm-offset"));
        if (!x || !std::isfinite(*x)) Fail("invalid --dbm-offset");
        run.engine.dbmOffsetDb = *x;
    }
    if (w.sampleCount < 2 && run.drawKind == 0) Fail("a spectrum needs at least two samples");

    cSpectrumRecompute rc;
    std::atomic<bool> stop{false};
    RecomputeHooks hooks;
    hooks.spectrumKind = [&] { return SpectrumKindShownBy(run.view); };
    hooks.overview = [&] { return IsSpectrumOverview(run.view); };
    hooks.selectKind = [&](SpectrumKind v) { run.view = v; };  // real waveforms switch to "I"
    hooks.maskMeasurementActive = [&] {
        return m.settings.MaskOn() || m.settings.maskAutoBandwidth;
    };
    hooks.measure = [&] { run.engine.Measure(); };
    rc.Recompute(run.engine.trace, w, s, stop, hooks, 0);
    run.frames = rc.framesLastRecompute;
    if (wider && run.engine.trace.traceValid) {
        // The kind and transform the recompute settled on for these samples.
        const SpectrumKind kind = SpectrumKindShownBy(run.view);
        run.frames = wider(run.engine.trace, kind, s,
                           rc.lastWasReal || kind == kSpectrumI || kind == kSpectrumQ);
        run.engine.Measure();
    }
    if (!run.engine.trace.traceValid && run.drawKind == 0)
        Fail("the waveform is too short for a spectrum (8 samples at least)");

    const double fs = static_cast<double>(w.sampleRate);
    if (run.view == kViewI || run.view == kViewQ) {
        run.f0 = 0;
        run.f1 = fs / 2;
    } else if (run.view == kViewIQDcFs || run.view == kViewQIDcFs) {
        run.f0 = 0;
        run.f1 = fs;
    } else {
        run.f0 = -fs / 2;
        run.f1 = fs / 2;
    }
    if (a.Has("--span")) {
        const std::string v = a.Get("--span");
        const size_t colon = v.find(':');
        const auto lo = colon == std::string::npos ? std::nullopt : ParseNumber(v.substr(0, colon));
        const auto hi =
            colon == std::string::npos ? std::nullopt : ParseNumber(v.substr(colon + 1));
        if (!lo || !hi || !(*hi > *lo)) Fail("--span takes F0:F1 in Hz with F0 < F1");
        // A span that misses the spectrum has nothing to measure.
        if (*hi <= run.f0 || *lo >= run.f1)
            Fail("--span " + v + " lies outside the spectrum (" + Fixed(run.f0, 0) + " to " +
                 Fixed(run.f1, 0) + " Hz)");
        run.f0 = *lo;
        run.f1 = *hi;
    }
    if (run.maskRequested && !m.settings.MaskOn())
        Fail(
            "the emission mask needs a finer resolution: raise --fft (the narrowest mask bandwidth "
            "is below fs/N)");
    if (!image) {
        // Measured as a W-wide drawing would show it; nothing is painted.
        MeasureShown(run.engine, W, run.f0, run.f1);
        return;
    }
    // A capture beyond full scale is drawn whole, as the window shows it.
    if (const double peak = LargestComponent(w.I.data(), w.Q.data(), w.sampleCount); peak > 1.0)
        run.engine.iqPlaneFullScale = ScaleAxesToPeak(run.engine.axes, peak);
    QPainter p(image);
    if (a.Has("--phase")) {
        // The spectrum's phase against frequency, as the window's phase display shows it.
        KindDrawing d;
        d.kind = run.drawKind ? run.drawKind : run.view;
        d.xStart = run.f0;
        d.xEnd = run.f1;
        d.phaseDisplay = true;
        DrawKind(run.engine, p, W, H, w, d);
    } else if (run.drawKind == kViewMulti) {
        DrawMultiView(run.engine, p, W, H, w, rc.lastWasReal);
    } else if (run.drawKind != 0) {
        KindDrawing d;
        d.kind = run.drawKind;
        FullViewRange(d.kind, w.sampleRate, w.sampleCount, d.xStart, d.xEnd);
        DrawKind(run.engine, p, W, H, w, d);
        if (IsTimeKind(d.kind)) {
            // A recording's annotations, as the window draws them over its time views.
            const PlotMargins& mg = run.engine.style.margins;
            AnnotationPlace place;
            place.area = QRect(mg.left, mg.top, mg.PlotWidth(W), mg.PlotHeight(H));
            place.firstSample = static_cast<double>(w.source.firstSample) + d.xStart;
            place.sampleCount = d.xEnd - d.xStart;
            DrawAnnotationSpans(p, w.recording.annotations, place);
        }
    } else {
        MeasureAndDrawSpectrum(run.engine, p, W, H, run.f0, run.f1);
    }
    p.end();
}

// The figures of a whole capture (measure --whole) after the spectrum's.
void WholeFigureLines(const WholeCaptureFigures& f, std::ostream& out) {
    const double rmsDb = 20 * std::log10(f.power.RmsAmplitude());
    const double peakDb = 20 * std::log10(f.power.PeakAmplitude());
    out << "Whole file: " << f.samples << " samples, " << f.frames << " frames\n";
    out << "RMS: " << Fixed(rmsDb, 2) << " dBFS\n";
    out << "Peak: " << Fixed(peakDb, 2) << " dBFS\n";
    out << "Crest Factor: " << Fixed(peakDb - rmsDb, 2) << " dB\n";
    for (size_t i = 0; i < f.parDb.size(); ++i)
        out << "CCDF " << General(CcdfStatistics::kProbabilitiesPercent[i], 6)
            << " %: " << Fixed(f.parDb[i], 2) << " dB\n";
}

void WholeFigureJson(const WholeCaptureFigures& f, JsonWriter& j) {
    const double rmsDb = 20 * std::log10(f.power.RmsAmplitude());
    const double peakDb = 20 * std::log10(f.power.PeakAmplitude());
    j.BeginObject("whole");
    j.Field("samples", static_cast<double>(f.samples));
    j.Field("frames", static_cast<double>(f.frames));
    j.Field("rms_dbfs", rmsDb);
    j.Field("peak_dbfs", peakDb);
    j.Field("crest_factor_db", peakDb - rmsDb);
    j.BeginArray("ccdf");
    for (size_t i = 0; i < f.parDb.size(); ++i) {
        j.BeginObject();
        j.Field("probability_percent", CcdfStatistics::kProbabilitiesPercent[i]);
        j.Field("par_db", f.parDb[i]);
        j.EndObject();
    }
    j.EndArray();
    j.EndObject();
}

int Measure(const ParsedArguments& a, std::ostream& out, std::ostream& err) {
    if (a.positional.size() != 1) Fail("measure needs one FILE");
    const std::string& path = a.positional[0];
    const MarkerRequest markers = MarkerRequestOrFail(a);  // before a long pass, not after
    const ModulationRequest modulation = ModulationRequestOrFail(a);
    if (modulation.Any() && a.Has("--whole"))
        Fail("--modulation and --evm-reference measure the loaded samples, not --whole");
    Loaded l;
    SpectrumRun run;
    std::optional<WholeCaptureFigures> whole;
    if (a.Has("--whole")) {
        if (a.Has("--range")) Fail("--whole and --range exclude each other");
        cCaptureSource capture;
        if (const std::string why =
                capture.Open(path, FileTypeOrFail(path, a), ChannelOrFail(path, a));
            !why.empty())
            Fail("cannot read " + Printable(path) + " as a capture: " + Printable(why));
        // The first samples settle the kind and the checks as a load would; the pass then
        // averages every frame of the file.
        ParsedArguments head = a;
        head.options["--range"] =
            "0:" + std::to_string(std::min<int64_t>(capture.SampleCount(), 1 << 20));
        std::ostringstream headNotes;  // about the first samples only: not the file's
        LoadOrFail(path, head, l, headNotes);
        if (const std::string notes = capture.Notes(); !notes.empty())
            err << "qrvn: " << Printable(path) << ": " << Printable(notes) << "\n";
        whole.emplace();
        RunSpectrum(a, l.wave, run, 1600, 1000, nullptr, false,
                    [&](cSpectrumTrace& trace, int kind, const SpectrumSettings& s, bool real) {
                        ProgressLine progress("measuring " + Printable(path));
                        WorkControl control;
                        control.progress = [&](int p) { progress(p); };
                        const std::string why = MeasureWholeCapture(
                            capture, l.wave.sampleRate, s, kind, real, trace, *whole, control);
                        if (!why.empty()) Fail(Printable(path) + ": " + Printable(why));
                        return static_cast<int>(std::min<int64_t>(whole->frames, INT32_MAX));
                    });
    } else {
        LoadOrFail(path, a, l, err);
        RunSpectrum(a, l.wave, run, 1600, 1000, nullptr);
    }
    std::optional<ModulationFigures> accuracy;
    if (modulation.Any()) accuracy = ModulationFiguresOrFail(modulation, l.wave, a, err);
    const cSpectrumTrace& trace = run.engine.trace;
    const double offset = run.engine.dbmOffsetDb;
    if (a.Has("--json")) {
        MeasurementView view{path,   run.view, run.frames,
                             run.f0, run.f1,   l.wave.recording.centreFrequencyHz};
        view.more = [&](JsonWriter& j) {
            if (whole) WholeFigureJson(*whole, j);
            MarkerJson(trace, offset, markers, j);
            if (accuracy) ModulationFigureJson(*accuracy, j);
        };
        WriteMeasurementsJson(run.engine, view, out);
    } else {
        // The panels' lines as the window shows them.
        const SpectrumPanels panels = SpectrumPanelTexts(run.engine, run.f0, run.f1);
        bool toneShown = false, lineStart = true;
        for (const PanelText& line : panels.right) {
            if (lineStart) {  // what is drawn over a line (the red "!") is that line again
                out << line.text << "\n";
                toneShown = toneShown || line.text.rfind("Peak Frequency:", 0) == 0;
            }
            lineStart = line.advance;
        }
        // The panel leaves tone 1 out beside other measurements; a script asked for it too.
        if (!toneShown)
            for (const std::string& line : ToneLines(run.engine))
                out << line << "\n";
        for (const PanelText& line : panels.left)
            out << line.text << "\n";
        if (whole) WholeFigureLines(*whole, out);
        MarkerLines(trace, offset, markers, out);
        if (accuracy) ModulationFigureLines(*accuracy, out);
    }
    const bool maskFailed =
        run.engine.measurements.settings.MaskOn() && !run.engine.measurements.mask.pass;
    return maskFailed ? kExitMaskFailed : kExitOk;
}

int Render(const ParsedArguments& a, std::ostream& out, std::ostream& err) {
    if (a.positional.size() != 1) Fail("render needs one FILE");
    if (!a.Has("-o") || a.Get("-o").empty()) Fail("render needs -o OUT.png");
    int W = 1600, H = 1000;
    if (a.Has("--size")) {
        const std::string v = a.Get("--size");
        const size_t x = v.find('x');
        const auto w = x == std::string::npos ? std::nullopt : ParseInt(v.substr(0, x));
        const auto h = x == std::string::npos ? std::nullopt : ParseInt(v.substr(x + 1));
        if (!w || !h || *w < 100 || *h < 80 || *w > 10000 || *h > 10000)
            Fail("--size takes WxH from 100x80 to 10000x10000");
        W = static_cast<int>(*w);
        H = static_cast<int>(*h);
    }
    Loaded l;
    LoadOrFail(a.positional[0], a, l, err);
    SpectrumRun run;
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(QColor(28, 28, 28));
    if (a.Has("--view") && a.Get("--view") == "spectrogram")
        run.drawKind = RenderSpectrogram(a, l.wave, image);
    else
        RunSpectrum(a, l.wave, run, W, H, &image, true);
    // Encoded in memory, then written like a waveform: never in place over the old picture,
    // never into a FIFO or device, and the encoder never sees (or prints) a write error.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG")) Fail("cannot encode the picture as PNG");
    const std::string target = a.Get("-o");
    int error = 0;
    const SaveFailure why =
        WriteWholeFile(target, png.constData(), static_cast<size_t>(png.size()), &error);
    if (why != SaveFailure::None) Fail(SaveFailureText(why, error, Printable(target)));
    out << "wrote " << Printable(target) << " (" << W << "x" << H << ", view "
        << (run.drawKind ? run.drawKind : run.view) << ")\n";
    return kExitOk;
}

int Convert(const ParsedArguments& a, std::ostream& out, std::ostream& err) {
    if (a.positional.size() != 2) Fail("convert needs IN and OUT");
    const std::string& source = a.positional[0];
    const std::string& target = a.positional[1];
    const bool toRecording = IsSigmfRecordingPath(target), toWav = IsWavPath(target);
    const bool fromRecording = IsSigmfRecordingPath(source);
    // A recording's metadata, a WAV header and a capture's extension name their type: no
    // option needed.
    if (!a.Has("--from") && !fromRecording && !IsWavPath(source) &&
        FileTypeForExtension(source) == 0)
        Fail("convert needs --from ID for " + Printable(source));
    if (a.Has("--from") && fromRecording)
        Fail("--from does not apply to " + Printable(source) +
             ": a SigMF recording is read as its metadata says");
    if (a.Has("--from") && IsWavPath(source))
        Fail("--from does not apply to " + Printable(source) +
             ": a WAV file is read as its header says");
    std::optional<int> to;
    if (a.Has("--to")) {
        to = ParseInt32(a.Get("--to"));
        // 40112 writes the spectrum beside each sample, and convert makes none.
        if (to && *to == kFileTableMhzQSpec)
            Fail("file type 40112 needs a spectrum, which convert does not compute");
        if (!to || !HasEncoder(*to)) Fail("file type '" + a.Get("--to") + "' cannot be written");
    } else if (toRecording) {
        to = kFileBin16LeTwos;
    } else if (toWav) {
        // Float samples stay float; the rest become 16-bit PCM (after loading).
    } else if (const int named = FileTypeForExtension(target); named != 0) {
        to = named;
    } else {
        Fail("convert needs --to ID for " + Printable(target));
    }
    if (toRecording && *to != kFileBin16LeTwos && *to != kFileCf32Le)
        Fail("a SigMF recording is written as 407 (ci16_le) or 420 (cf32_le), not as " +
             std::to_string(*to));
    if (toWav && to && *to != kFileBin16LeTwos && *to != kFileCf32Le)
        Fail("a WAV file is written as 407 (16-bit PCM) or 420 (32-bit float), not as " +
             std::to_string(*to));
    if (!toRecording && (a.Has("--description") || a.Has("--author")))
        Fail("--description and --author go only into a SigMF recording");
    ParsedArguments load = a;
    load.options.erase("--type");
    if (a.Has("--from")) load.options["--type"] = a.Get("--from");
    Loaded l;
    LoadOrFail(source, load, l, err);
    if (!to) to = WavSaveFileType(l.wave.fileType);
    l.wave.fileType = *to;
    if (a.Has("--description")) l.wave.recording.description = a.Get("--description");
    if (a.Has("--author")) l.wave.recording.author = a.Get("--author");
    SaveFailure why = SaveFailure::None;
    if (l.wave.SaveFile(target, &why) != 1)
        Fail(SaveFailureText(why, l.wave.SaveErrno(), Printable(target), l.wave.SaveCutFile()));
    out << "wrote " << l.wave.sampleCount << " samples to " << Printable(target) << " as type "
        << *to;
    if (IsSigmfArchivePath(target))
        out << " (SigMF archive, " << SigmfSaveDatatype(*to) << ")";
    else if (toRecording)
        out << " (SigMF " << SigmfSaveDatatype(*to) << ", metadata "
            << Printable(SigmfMetaPath(target)) << ")";
    out << "\n";
    return kExitOk;
}

}  // namespace

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunVerb(args, kLoadOptions,
                   std::string("usage: qrvn info FILE [--type ID] [--rate HZ] [--json]\n") +
                       kLoadHelp + "  --json          one JSON object\n",
                   Info, out, err);
}

int RunMeasure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunVerb(
        args,
        Join(Join(Join(Join(kLoadOptions, kMeasureOptions), kMarkerOptions), kModulationOptions),
             {{"--whole", false, false}}),
        std::string("usage: qrvn measure FILE [options]\n") + kLoadHelp + kMeasureOptionsHelp +
            kMarkerHelp + kModulationHelp +
            "  --whole         average the spectrum over every frame of a binary file of\n"
            "                  any size, and add its RMS, peak, crest factor and CCDF\n"
            "                  (progress on stderr when it is a terminal)\n"
            "  --json          one JSON object, units in the key names; with a\n"
            "                  recording's centre frequency also *_abs_hz\n"
            "exit status 3 when the emission mask fails\n",
        Measure, out, err);
}

int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunVerb(
        args,
        {{"--from", true, false},
         {"--to", true, false},
         {"--rate", true, false},
         {"--range", true, false},
         {"--description", true, false},
         {"--author", true, false},
         {"--channel", true, false},
         {"--help", false, false}},
        "usage: qrvn convert IN OUT [--from ID] [--to ID]\n"
        "  --from ID       file type of IN (400-414, 418-429); not needed for a SigMF\n"
        "                  recording or a file whose extension names its type (.cf32,\n"
        "                  .cs8, .cu8, .cs16, .cf64, .ci32 and the like)\n"
        "  --to ID         file type of OUT (400-412, 418, 420-422, 428, 429, 399, 40111,\n"
        "                  40113, 40114); not needed for those names either\n"
        "  --rate HZ       sample rate of IN\n"
        "  --range S:L     convert only L samples from sample S (or seconds: 12.5s:1s)\n"
        "  --channel N     the channel of a multi-channel SigMF recording IN (from 0)\n"
        "  --description TEXT, --author TEXT\n"
        "                  written into a SigMF recording (default: IN's, if one)\n"
        "OUT named x.sigmf-meta or x.sigmf-data writes both files of a SigMF\n"
        "recording, x.sigmf an archive of them: ci16_le (--to 407, the default) or\n"
        "cf32_le (--to 420), with the rate, the digest of the samples, and what IN's\n"
        "metadata said (segments, annotations, keys of extensions).\n"
        "OUT is replaced only once it is completely written; a file that was read\n"
        "only in part (longer than 500,000,000 bytes) is never written over\n",
        Convert, out, err);
}

int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunVerb(
        args,
        Join(Join(kLoadOptions, kMeasureOptions),
             Join(kSpectrogramOptions, {{"-o", true, false},
                                        {"--size", true, false},
                                        {"--phase", false, false},
                                        {"--colours", true, false}})),
        std::string(
            "usage: qrvn render FILE -o OUT.png [--view V] [--size WxH] [measure options]\n") +
            "  -o OUT.png      the picture to write\n"
            "  --size WxH      picture size (default 1600x1000)\n"
            "  --view V        also any view kind: multi, time-i, time-q, time-iq, logmag, phase,\n"
            "                  vector, ccdf, constellation or 300-314 (full range), or\n"
            "                  spectrogram (the whole waveform; --fft from 64 to 65536, and:)\n" +
            kSpectrogramHelp + "  --colours C     perceptual (default) or grey\n" +
            "  --phase         the spectrum's phase against frequency instead\n" + kLoadHelp +
            kMeasureOptionsHelp,
        Render, out, err);
}

int RunQrvn(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
        (args.empty() ? err : out) << kTopHelp;
        return args.empty() ? kExitUsage : kExitOk;
    }
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "info") return RunInfo(rest, out, err);
    if (args[0] == "measure") return RunMeasure(rest, out, err);
    if (args[0] == "convert") return RunConvert(rest, out, err);
    if (args[0] == "remote") return RunRemote(rest, out, err);
    if (args[0] == "render") return RunRender(rest, out, err);
    if (args[0] == "edit") return RunEdit(rest, out, err);
    if (args[0] == "fir-design") return RunFirDesign(rest, out, err);
    if (args[0] == "overview") return RunOverview(rest, out, err);
    if (args[0] == "spectrogram") return RunSpectrogram(rest, out, err);
    err << "qrvn: unknown verb '" << args[0] << "' (qrvn --help lists them)\n";
    return kExitUsage;
}
