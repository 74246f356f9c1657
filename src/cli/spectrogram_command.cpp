// qrvn spectrogram: rows of a capture of any size as a NumPy array, read through the capture
// source in pieces on both cores; and render's spectrogram view, drawn from the tiles the
// window uses.

#include "cli/spectrogram_command.h"

#include <QPainter>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <thread>

#include "cli/commands.h"
#include "cli/verb_support.h"
#include "display/annotation_overlay.h"
#include "display/json_writer.h"
#include "display/spectrogram_plot.h"
#include "display/view_kinds.h"
#include "waveform/capture_source.h"
#include "waveform/file_messages.h"
#include "waveform/waveform.h"
#include "waveform/waveform_writer.h"
#include "workers/spectrogram_tiles.h"

const std::vector<OptionSpec> kSpectrogramOptions = {{"--overlap", true, false},
                                                     {"--hold", true, false}};
const std::string kSpectrogramHelp =
    "  --overlap P     percent of a frame shared with the next, 0 to 95 (default 50)\n"
    "  --hold H        rows that cover several frames keep their peak (default) or mean\n";

SpectrogramSettings SpectrogramSettingsOrFail(const ParsedArguments& a) {
    SpectrogramSettings s;
    if (a.Has("--fft")) {
        const auto n = ParseInt(a.Get("--fft"));
        if (!n || *n < kSpectrogramMinFft || *n > kSpectrogramMaxFft || (*n & (*n - 1)) != 0)
            Fail("--fft must be a power of two from 64 to 65536");
        s.fftSize = static_cast<int>(*n);
    }
    if (a.Has("--window")) s.window = WindowOrFail(a.Get("--window"));
    if (a.Has("--overlap")) {
        const auto p = ParseInt(a.Get("--overlap"));
        if (!p || *p < 0 || *p > kSpectrogramMaxOverlapPercent)
            Fail("--overlap takes a percent from 0 to 95");
        s.overlapPercent = static_cast<int>(*p);
    }
    if (a.Has("--hold")) {
        const std::string h = a.Get("--hold");
        if (h != "peak" && h != "mean") Fail("--hold takes peak or mean");
        s.hold = h == "peak" ? SpectrogramHold::kPeak : SpectrogramHold::kMean;
    }
    return s;
}

int RenderSpectrogram(const ParsedArguments& a, const cWaveform& wave, QImage& image) {
    const SpectrogramSettings settings = SpectrogramSettingsOrFail(a);
    SpectrogramColours colours = SpectrogramColours::kPerceptual;
    if (a.Has("--colours")) {
        const std::string c = a.Get("--colours");
        if (c != "perceptual" && c != "grey") Fail("--colours takes perceptual or grey");
        if (c == "grey") colours = SpectrogramColours::kGrey;
    }
    const int W = image.width(), H = image.height();
    const QRect area = SpectrogramPlotArea(W, H);
    const int64_t n = wave.sampleCount;
    std::mutex m;
    std::condition_variable arrived;
    cSpectrogramTiles tiles;  // after what its workers call, so it stops first
    tiles.onTileReady = [&] {
        std::lock_guard lock(m);
        arrived.notify_all();
    };
    tiles.SetSource(
        [&wave](int64_t first, int64_t count, float* I, float* Q) {
            std::copy_n(wave.I.data() + first, count, I);
            std::copy_n(wave.Q.data() + first, count, Q);
            return std::string();
        },
        n, settings);
    SpectrogramScreen screen;
    for (;;) {
        tiles.Assemble(0, static_cast<double>(n) / area.height(), area.height(), screen);
        if (screen.missingRows == 0) break;
        std::unique_lock lock(m);
        arrived.wait_for(lock, std::chrono::milliseconds(20));
    }
    SpectrogramDrawing d;
    d.screen = &screen;
    d.sampleRateHz = static_cast<double>(wave.sampleRate);
    d.fStart = -d.sampleRateHz / 2;
    d.fEnd = d.sampleRateHz / 2;
    AutoSpectrogramLevels(screen.db, d.levelLo, d.levelHi);
    d.colours = colours;
    QPainter p(&image);
    DrawSpectrogram(p, W, H, d);
    AnnotationPlace place;
    place.area = area;
    place.firstSample = static_cast<double>(wave.source.firstSample);
    place.sampleCount = static_cast<double>(n);
    place.fStart = d.fStart;
    place.fEnd = d.fEnd;
    if (const SigmfSegment* segment = wave.recording.SegmentAt(wave.source.firstSample);
        segment && segment->frequencyHz)
        place.centreHz = segment->frequencyHz;
    else
        place.centreHz = wave.recording.centreFrequencyHz;
    DrawAnnotationBoxes(p, wave.recording.annotations, place);
    return kViewSpectrogram;
}

namespace {

int Spectrogram(const ParsedArguments& a, std::ostream& out, std::ostream& err) {
    if (a.positional.size() != 1) Fail("spectrogram needs one FILE");
    if (!a.Has("-o") || a.Get("-o").empty()) Fail("spectrogram needs -o OUT.npy");
    const std::string& path = a.positional[0];
    const SpectrogramSettings settings = SpectrogramSettingsOrFail(a);
    int64_t rows = 1000;
    if (a.Has("--rows")) {
        const auto r = ParseInt(a.Get("--rows"));
        if (!r || *r < 1 || *r > 1'000'000) Fail("--rows takes a count from 1 to 1000000");
        rows = *r;
    }
    const int type = FileTypeOrFail(path, a);
    const std::optional<double> rateOption = RateOrFail(a);
    cCaptureSource capture;
    if (const std::string why = capture.Open(path, type, ChannelOrFail(path, a)); !why.empty())
        Fail("cannot read " + Printable(path) + " as a capture: " + Printable(why));
    if (const std::string notes = capture.Notes(); !notes.empty())
        err << "qrvn: " << Printable(path) << ": " << Printable(notes) << "\n";
    const int64_t rate = CaptureRateOf(capture, rateOption);
    int64_t start = 0, count = capture.SampleCount();
    if (a.Has("--range")) {
        std::tie(start, count) = RangeOrFail(a.Get("--range"), static_cast<double>(rate));
        if (const std::string why = capture.CheckRange(start, count); !why.empty())
            Fail("--range " + a.Get("--range") + " of " + Printable(path) + ": " + why);
    }
    if (count < 1) Fail(Printable(path) + " holds no samples in the range");
    if (rows > count)
        Fail("--rows " + std::to_string(rows) + " is more than the " + std::to_string(count) +
             " samples to show");
    // Rows of equal whole samples; the few samples past the last row's end are not shown.
    const int64_t perRow = count / rows;
    const int N = settings.fftSize;
    std::vector<float> matrix(static_cast<size_t>(rows * N));

    // Two halves of the rows, one per core, each reading its samples through its own buffer.
    std::string why[2];
    std::atomic<int64_t> done{0};
    std::atomic<bool> finished{false}, failed{false};
    {
        ProgressLine progress("spectrogram of " + Printable(path));
        auto half = [&](int h) {
            std::vector<uint8_t> buffer(size_t{1} << 20);
            SampleReader read = [&](int64_t first, int64_t n, float* I, float* Q) {
                return capture.ReadThrough(start + first, n, I, Q, buffer);
            };
            cSpectrogramRows computer(settings);
            const int64_t r0 = h == 0 ? 0 : rows / 2, r1 = h == 0 ? rows / 2 : rows;
            constexpr int64_t kBlock = 16;
            for (int64_t r = r0; r < r1 && why[h].empty(); r += kBlock) {
                const int n = static_cast<int>(std::min(kBlock, r1 - r));
                why[h] = computer.Compute(read, count, perRow, r, n,
                                          matrix.data() + static_cast<size_t>(r * N));
                if (!why[h].empty()) failed = true;
                done += n;
            }
        };
        std::thread second(half, 1);
        std::thread progressThread([&] {
            while (done.load() < rows && !failed && !finished) {
                progress(static_cast<int>(100 * done.load() / rows));
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        });
        half(0);
        second.join();
        finished = true;
        progressThread.join();
    }
    for (const std::string& w : why)
        if (!w.empty()) Fail(Printable(path) + ": " + Printable(w));

    const std::string npy = NpyFloat32(rows, N, matrix.data());
    const std::string target = a.Get("-o");
    int error = 0;
    const SaveFailure failure = WriteWholeFile(target, npy.data(), npy.size(), &error);
    if (failure != SaveFailure::None) Fail(SaveFailureText(failure, error, Printable(target)));
    auto number = [](auto v) { return static_cast<double>(v); };
    JsonWriter j(out);
    j.Begin();
    j.Field("file", Printable(target));
    j.Field("rows", number(rows));
    j.Field("points", number(N));
    j.Field("first_frequency_hz", SpectrogramPointHz(0, N, number(rate)));
    j.Field("frequency_step_hz", number(rate) / N);
    j.Field("first_time_s", number(start) / number(rate));
    j.Field("time_step_s", number(perRow) / number(rate));
    j.Field("samples_per_row", number(perRow));
    j.Field("fft", number(N));
    j.Field("hop", number(settings.Hop()));
    j.Field("hold", settings.hold == SpectrogramHold::kPeak ? "peak" : "mean");
    j.End();
    return kExitOk;
}

}  // namespace

int RunSpectrogram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunVerb(
        args,
        Join(Join(kLoadOptions, kSpectrogramOptions), {{"-o", true, false},
                                                       {"--fft", true, false},
                                                       {"--window", true, false},
                                                       {"--rows", true, false}}),
        std::string("usage: qrvn spectrogram FILE -o OUT.npy [--fft N] [--rows R] [--range "
                    "START:LEN] [options]\n") +
            "  -o OUT.npy      float32 dB (dBFS) of shape (R, N): row r covers the samples\n"
            "                  [r*S, (r+1)*S) of the range, S = LEN / R whole samples; point k\n"
            "                  is the frequency (k - N/2) * rate / N. The axes go to stdout as\n"
            "                  one JSON line.\n"
            "  --fft N         FFT size, a power of two from 64 to 65536 (default 1024)\n"
            "  --rows R        rows (default 1000)\n"
            "  --window W      rect, hann (default), blackman-harris or bartlett\n" +
            kSpectrogramHelp + kLoadHelp,
        Spectrogram, out, err, Notes::AsTheyCome);
}
