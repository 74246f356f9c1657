// qrvn overview: the whole-file overview of a capture of any size (peak and mean power per
// column) as a NumPy array file.

#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/verb_support.h"
#include "measure/whole_capture.h"
#include "waveform/capture_source.h"
#include "waveform/file_messages.h"
#include "waveform/waveform_writer.h"

namespace {

constexpr int kMaxColumns = 10'000'000;

int Overview(const ParsedArguments& a, std::ostream& out, std::ostream& err) {
    if (a.positional.size() != 1) Fail("overview needs one FILE");
    if (!a.Has("-o") || a.Get("-o").empty()) Fail("overview needs -o OUT.npy");
    const std::string& path = a.positional[0];
    int columns = 1000;
    if (a.Has("--columns")) {
        const auto c = ParseInt(a.Get("--columns"));
        if (!c || *c < 1 || *c > kMaxColumns)
            Fail("--columns takes a count from 1 to " + std::to_string(kMaxColumns));
        columns = static_cast<int>(*c);
    }
    const int type = FileTypeOrFail(path, a);
    const std::optional<double> rate = RateOrFail(a);
    cCaptureSource capture;
    if (const std::string why = capture.Open(path, type, ChannelOrFail(path, a)); !why.empty())
        Fail("cannot read " + Printable(path) + " as a capture: " + Printable(why));
    if (const std::string notes = capture.Notes(); !notes.empty())
        err << "qrvn: " << Printable(path) << ": " << Printable(notes) << "\n";
    int64_t start = 0, count = capture.SampleCount();
    if (a.Has("--range")) {
        std::tie(start, count) =
            RangeOrFail(a.Get("--range"), static_cast<double>(CaptureRateOf(capture, rate)));
        if (const std::string why = capture.CheckRange(start, count); !why.empty())
            Fail("--range " + a.Get("--range") + " of " + Printable(path) + ": " + why);
    }
    CaptureOverview overview;
    {
        ProgressLine progress("overview of " + Printable(path));
        WorkControl control;
        control.progress = [&](int p) { progress(p); };
        if (const std::string why =
                ComputeCaptureOverview(capture, start, count, columns, overview, control);
            !why.empty())
            Fail(Printable(path) + ": " + Printable(why));
    }
    std::vector<float> rows = overview.peakDb;
    rows.insert(rows.end(), overview.meanDb.begin(), overview.meanDb.end());
    const std::string npy = NpyFloat32(2, columns, rows.data());
    const std::string target = a.Get("-o");
    int error = 0;
    const SaveFailure why = WriteWholeFile(target, npy.data(), npy.size(), &error);
    if (why != SaveFailure::None) Fail(SaveFailureText(why, error, Printable(target)));
    out << "wrote " << Printable(target) << " (2 x " << columns
        << " float32: peak and mean power in dBFS of samples " << start << " to "
        << start + count - 1 << ")\n";
    return kExitOk;
}

}  // namespace

int RunOverview(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunVerb(
        args, Join(kLoadOptions, {{"-o", true, false}, {"--columns", true, false}}),
        std::string("usage: qrvn overview FILE -o OUT.npy [--columns C] [options]\n") +
            "  -o OUT.npy      a NumPy array of shape (2, C), float32: row 0 the peak,\n"
            "                  row 1 the mean power in dBFS of each of C equal stretches\n"
            "                  of the file (numpy.load reads it)\n"
            "  --columns C     stretches, 1 to 10000000 (default 1000)\n" +
            kLoadHelp,
        Overview, out, err);
}
