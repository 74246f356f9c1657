// qrvn fir-design: the window's FIR designer without the window, writing a tap file that the
// FIR filtering tool and qrvn edit take.

#include <iomanip>
#include <sstream>

#include "cli/commands.h"
#include "cli/verb_support.h"
#include "display/json_writer.h"
#include "dsp/remez.h"
#include "waveform/file_messages.h"
#include "waveform/waveform.h"
#include "waveform/waveform_writer.h"

namespace {

double EdgeOrFail(const ParsedArguments& a, const std::string& option) {
    const auto v = ParseNumber(a.Get(option));
    if (!v || !(*v > 0.0 && *v < 0.5))
        Fail(option + " takes an edge between 0 and 0.5 (a fraction of the sample rate)");
    return *v;
}

int FirDesign(const ParsedArguments& a, std::ostream& out, std::ostream&) {
    if (!a.positional.empty()) Fail("fir-design takes no file name but -o TAPS");
    if (!a.Has("-o")) Fail("fir-design needs -o TAPS");
    if (!a.Has("--taps") || !a.Has("--pass") || !a.Has("--stop"))
        Fail("fir-design needs --taps N, --pass PB and --stop SB");
    const auto taps = ParseInt32(a.Get("--taps"));
    // No more than the tap-file filter takes, so every file written here can be used there.
    if (!taps || *taps < 3 || *taps > 499) Fail("--taps takes 3 to 499");
    const double pass = EdgeOrFail(a, "--pass"), stop = EdgeOrFail(a, "--stop");
    if (!(stop > pass)) Fail("the stopband edge must lie above the passband edge");
    int weight = 10;
    if (a.Has("--weight")) {
        const auto w = ParseInt32(a.Get("--weight"));
        if (!w || *w < 1 || *w > 10) Fail("--weight takes 1 (stopband) to 10 (passband)");
        weight = *w;
    }
    int type = kFileBin16BeTwos;
    if (a.Has("--to")) {
        const auto t = ParseInt32(a.Get("--to"));
        if (!t || !HasEncoder(*t)) Fail("file type '" + a.Get("--to") + "' cannot be written");
        type = *t;
    }
    // As the designer: the passband's weight w, the stopband's 11 - w.
    const RemezResult r = RemezDesign(*taps, {{0.0, pass, 1.0, static_cast<double>(weight)},
                                              {stop, 0.5, 0.0, static_cast<double>(11 - weight)}});
    if (r.taps.empty()) Fail("no filter can be designed for these edges");
    // An exchange that did not settle leaves taps far from equiripple (a transition so wide that
    // the ripple would be below what doubles resolve, or too narrow for the taps).
    if (!r.converged)
        Fail("the design did not settle in 40 iterations for " + std::to_string(*taps) +
             " taps and these edges; nothing written");
    cWaveform wave;
    wave.AllocateScratch(*taps);
    for (int i = 0; i < *taps; ++i)
        wave.scratchI[i] = wave.scratchQ[i] = static_cast<float>(r.taps[static_cast<size_t>(i)]);
    wave.SwapScratch();
    wave.fileType = type;
    const std::string target = a.Get("-o");
    SaveFailure why = SaveFailure::None;
    if (wave.SaveFile(target, &why) != 1)
        Fail(SaveFailureText(why, wave.SaveErrno(), Printable(target), wave.SaveCutFile()));
    const LowPassFigures figures = MeasureLowPass(r.taps, pass, stop);
    if (!a.Has("--json")) {
        out << "wrote " << *taps << " taps to " << Printable(target) << " as type " << type << "\n"
            << std::fixed << std::setprecision(4) << "passband ripple: " << figures.passbandRippleDb
            << " dB\n"
            << std::setprecision(2) << "stopband attenuation: " << figures.stopbandAttenuationDb
            << " dB\n";
        return kExitOk;
    }
    JsonWriter j(out);
    j.Begin();
    j.Field("output", target);
    j.Field("file_type", static_cast<double>(type));
    j.Field("converged", r.converged);
    j.Field("iterations", static_cast<double>(r.iterations));
    j.Field("passband_ripple_db", figures.passbandRippleDb);
    j.Field("stopband_attenuation_db", figures.stopbandAttenuationDb);
    j.BeginArray("taps");
    for (double t : r.taps)
        j.Value(t);
    j.EndArray();
    j.End();
    return kExitOk;
}

}  // namespace

int RunFirDesign(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunVerb(
        args,
        {{"-o", true, false},
         {"--taps", true, false},
         {"--pass", true, false},
         {"--stop", true, false},
         {"--weight", true, false},
         {"--to", true, false},
         {"--json", false, false},
         {"--help", false, false}},
        "usage: qrvn fir-design --taps N --pass PB --stop SB [--weight W] -o TAPS "
        "[--to ID] [--json]\n"
        "Designs a linear-phase low-pass FIR filter as the window's designer does and\n"
        "writes its taps as samples (I and Q alike), a tap file for FIR filtering.\n"
        "  --taps N        3 to 499 taps\n"
        "  --pass PB       passband edge, 0 ... 0.5 of the sample rate\n"
        "  --stop SB       stopband edge, above PB\n"
        "  --weight W      1 (smallest stopband ripple) to 10 (smallest passband ripple;\n"
        "                  default)\n"
        "  --to ID         file type of TAPS (default 405)\n"
        "  --json          the taps, the passband ripple and the stopband attenuation\n",
        FirDesign, out, err);
}
