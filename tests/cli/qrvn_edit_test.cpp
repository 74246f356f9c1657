// qrvn edit run as a program: each generator as a step against the same tool run in this
// process with scripted answers and the same seed (the written files must be the same byte for
// byte), the tool list against the tool table, and refusals that leave OUT as it was.

#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <map>
#include <set>

#include "../tool_test_support.h"
#include "dsp/remez.h"
#include "qrvn_runner.h"

namespace {

constexpr int32_t kSeed = 4242;

// "NAME:K=V,K=V" split by hand, independently of the program's step parser.
std::pair<std::string, std::map<std::string, std::string>> SplitStep(const std::string& step) {
    const size_t colon = step.find(':');
    std::map<std::string, std::string> answers;
    std::stringstream pairs(colon == std::string::npos ? "" : step.substr(colon + 1));
    for (std::string kv; std::getline(pairs, kv, ',');)
        answers[kv.substr(0, kv.find('='))] = kv.substr(kv.find('=') + 1);
    return {step.substr(0, colon), answers};
}

class QrvnEdit : public Qrvn {
protected:
    void SetUp() override {
        Qrvn::SetUp();
        in_ = Save("in_30.72MSPS.bin", 4096, [](int k) { return std::polar(0.1, 0.2 * k); });
    }
    struct Expected {
        std::string file, status;  // type-401 bytes; status texts, one a line
        std::vector<std::string> lastTexts;
        int samples = 0;
    };
    // IN loaded as qrvn loads it, the steps run by the dispatcher with scripted answers and
    // the seeds -seed, -(seed + 1), ..., saved as type 401.
    Expected Reference(const std::vector<std::string>& steps, int32_t seed = kSeed,
                       int filterShape = 1) const {
        cWaveform w;
        w.fileType = 405;
        EXPECT_EQ(w.LoadFile(in_, false), 0);
        w.filterShape = filterShape;
        ToolRunner run;
        // As qrvn edit shows the waveform: the IQ time view over every sample.
        run.ctx.view = {ToolViewState::Trace::IQ, 0, w.sampleCount - 1};
        int32_t next = seed;  // each random step takes the next seed
        run.ctx.seed = [&next] { return -(next++); };
        // qrvn prints a tool's message boxes after its texts, as "title: text".
        std::string notices;
        run.ctx.notice = [&notices](const std::string& title, const std::string& text) {
            notices += title + ": " + text + "\n";
        };
        Expected e;
        for (const std::string& step : steps) {
            const auto [name, answers] = SplitStep(step);
            EXPECT_EQ(run.Run(FindTool(name)->id, w, answers), kToolOk) << step;
            for (const std::string& t : run.texts)
                e.status += t + "\n";
            e.status += notices;
            notices.clear();
            e.lastTexts.push_back(run.LastText());
        }
        e.samples = w.sampleCount;
        w.fileType = 401;
        EXPECT_EQ(w.SaveFile(Path("reference.txt")), 1);
        e.file = Slurp(Path("reference.txt"));
        return e;
    }
    Result Edit(std::vector<std::string> extra, const std::vector<std::string>& steps,
                const Start& start = {}) const {
        std::vector<std::string> args{"edit", in_, "-o", Path("out.txt"), "--to", "401"};
        args.insert(args.end(), extra.begin(), extra.end());
        args.insert(args.end(), steps.begin(), steps.end());
        return Run(args, start);
    }
    std::string in_;
};

using Steps = std::vector<std::string>;

class EditSteps : public QrvnEdit, public ::testing::WithParamInterface<Steps> {};

TEST_P(EditSteps, WriteWhatTheToolsWriteInProcess) {
    // "@B" stands for a second waveform file, shorter than IN.
    const std::string second =
        Save("b_30.72MSPS.bin", 3000, [](int k) { return std::polar(0.2, -0.05 * k); });
    std::vector<std::string> steps = GetParam();
    for (std::string& step : steps)
        if (const size_t at = step.find("@B"); at != std::string::npos) step.replace(at, 2, second);
    const Result r = Edit({"--seed", std::to_string(kSeed), "--json"}, steps);
    ASSERT_EQ(r.status, 0) << r.err;
    const Expected e = Reference(steps);
    EXPECT_EQ(Slurp(Path("out.txt")), e.file);
    EXPECT_NE(e.file, Reference({}).file) << "the steps changed nothing";
    EXPECT_EQ(r.err, e.status);

    const QJsonObject o = Json(r.out).object();
    EXPECT_EQ(o["file"].toString().toStdString(), in_);
    EXPECT_EQ(o["output"].toString().toStdString(), Path("out.txt"));
    EXPECT_EQ(o["samples"].toDouble(), e.samples);
    EXPECT_EQ(o["sample_rate_hz"].toDouble(), 30.72e6);
    const QJsonArray done = o["steps"].toArray();
    ASSERT_EQ(done.size(), static_cast<qsizetype>(steps.size())) << r.out;
    for (size_t i = 0; i < steps.size(); ++i) {
        const QJsonObject s = done[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(s["name"].toString().toStdString(), SplitStep(steps[i]).first);
        EXPECT_EQ(s["code"].toDouble(-1), 0);
        EXPECT_EQ(s["text"].toString().toStdString(), e.lastTexts[i]);
        EXPECT_TRUE(s["results"].isObject());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Generators, EditSteps,
    ::testing::Values(Steps{"tone:AddToneMHz=-2.5,AddTonedBFS=-6,AddTonePhase=30"},
                      Steps{"multi-tone:AddMultiToneStart=-3,AddMultiToneStop=0.5,"
                            "AddMultiToneNum=7,AddMultiToneLevel=-25,phase=RND"},
                      Steps{"multi-tone:AddMultiToneNum=3,phase=45"},
                      Steps{
                          "swept-tone:AddSweptToneMHz1=-5,AddSweptToneMHz2=5,AddSweptTonedBFS=-3"},
                      Steps{"noise:AddNoise=-20"}, Steps{"pulse:AddPulse=2e-6"}, Steps{"qpsk"},
                      Steps{"qam16"}, Steps{"qam64:ModulationSampleRate=3840000"},
                      Steps{"dc:AddDC=-20"}, Steps{"dc-i:AddDC=-6"}, Steps{"dc-q"},
                      // In order, each random step from the next seed.
                      Steps{"qpsk", "noise:AddNoise=-30", "pulse:AddPulse=1e-6", "tone"}));

INSTANTIATE_TEST_SUITE_P(
    Modifiers, EditSteps,
    ::testing::Values(
        Steps{"scale:Scale=-3"}, Steps{"scale-zoom:Scale2=6"}, Steps{"set-rms:SetRMS=-20"},
        Steps{"clip:level=-25"}, Steps{"scale:Scale=20", "clip-iq"},
        Steps{"threshold-scale:threshold=-25,gain=-3"}, Steps{"remove-q"},
        Steps{"quantise:quantiseBITS=6"}, Steps{"swap-iq"}, Steps{"conjugate"}, Steps{"reverse"},
        Steps{"fade-in"}, Steps{"fade-out"}, Steps{"phase-shift:PhaseShift=45"},
        Steps{"phase-shift-i:PhaseShift=10"}, Steps{"phase-shift-q:PhaseShift=-10"},
        Steps{"freq-shift:Freq_Shift=1.5"}, Steps{"shift-plus-fs4"}, Steps{"shift-minus-fs4"},
        Steps{"dc:AddDC=-20", "remove-dc"}, Steps{"dc-trend:DCTrendSamples=8"},
        Steps{"time-shift:timeShiftInt=5"}, Steps{"time-shift-frac:timeShiftFrac=2.5"},
        Steps{"add-file:file=@B,scale=-6,shift=1"}, Steps{"subtract-file:file=@B"},
        Steps{"mix-file:file=@B"}, Steps{"replace-q:file=@B"}, Steps{"autocorrelation"}));

INSTANTIATE_TEST_SUITE_P(
    Length, EditSteps,
    ::testing::Values(Steps{"set-length:SetLength=5000"}, Steps{"set-length:SetLength=0.0001"},
                      Steps{"crop:StartCrop=100,StopCrop=200"}, Steps{"trim-left:TrimLeft=1000"},
                      Steps{"crop-middle:Crop_Middle=1001"}, Steps{"append-file:file=@B"},
                      Steps{"append-self:Append_Self_Count=3"}, Steps{"fft"}, Steps{"ifft"},
                      Steps{"crop:StartCrop=5,StopCrop=2004", "fft", "ifft"}));

// The resamplers change the rate with the samples: the file is what the tools write in process
// and the JSON reports the new rate. FIR filtering reads its taps as a second file.
TEST_F(QrvnEdit, ResamplingStepsChangeTheRate) {
    const std::string taps =
        Save("taps.bin", 31, [](int k) { return cd(std::exp(-0.02 * (k - 15) * (k - 15)), 0); });
    const std::vector<std::string> steps = {
        "upsample-fft:Upsample=4", "decimate:Downsample=2", "upsample-zero:Upsample=3",
        "downsample-fft:DownsampleFFT=2", "fir-file:file=" + taps};
    const Result r = Edit({"--json"}, steps);
    ASSERT_EQ(r.status, 0) << r.err;
    const Expected e = Reference(steps);
    EXPECT_EQ(Slurp(Path("out.txt")), e.file);
    EXPECT_EQ(r.err, e.status);
    const QJsonObject o = Json(r.out).object();
    // 4096 · 4 / 2 · 3 / 2 samples at 30.72 MHz · 4 / 2 · 3 / 2.
    EXPECT_EQ(o["samples"].toDouble(), 12288);
    EXPECT_EQ(e.samples, 12288);
    EXPECT_EQ(o["sample_rate_hz"].toDouble(), 92.16e6);
}

INSTANTIATE_TEST_SUITE_P(
    Filters, EditSteps,
    ::testing::Values(Steps{"low-pass:FFT_LPF1=0.5,FFT_LPF2=0.2"},
                      Steps{"high-pass:FFT_HPF1=2,FFT_HPF2=0.5"},
                      Steps{"band-pass:FFTBP1=-3,FFTBP2=-1,FFTBP3=0.5"},
                      Steps{"band-stop:FFTBS1=0.5,FFTBS2=1.5,FFTBS3=0.1"},
                      Steps{"lte-filter:LTE_FILTER_BW=1"}, Steps{"umts-filter:LTE_FILTER_CENTER=5"},
                      Steps{"noise:AddNoise=-20", "cfr:CFRPAR=6"},
                      Steps{"noise:AddNoise=-20", "peak-window-cfr:par=5,CFRWindowLen=20"},
                      Steps{"pa-compression:PAsimBackOffdB=-20"}, Steps{"expansion"}));

// --shape sets the FFT filters' transition shape as the window's Filter Shape commands do.
TEST_F(QrvnEdit, FilterShapeFromTheCommandLine) {
    const Steps steps{"low-pass:FFT_LPF1=0.5,FFT_LPF2=2"};
    std::set<std::string> files;
    for (const auto& [name, shape] :
         {std::pair{"gaussian", 1}, {"raised-cosine", 2}, {"root-raised-cosine", 3}}) {
        const Result r = Edit({"--shape", name}, steps);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(Slurp(Path("out.txt")), Reference(steps, kSeed, shape).file) << name;
        files.insert(Slurp(Path("out.txt")));
    }
    EXPECT_EQ(files.size(), 3u);
    const Result bad = Edit({"--shape", "sinc"}, steps);
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(Lines(bad.err), 1) << bad.err;
}

// The numbers the CFR tools find reach --json: the PAR of each pass and the EVM.
TEST_F(QrvnEdit, CfrResultsInTheJson) {
    const std::vector<std::string> steps = {"noise:AddNoise=-20", "cfr:CFRPAR=6",
                                            "peak-window-cfr:par=4"};
    const Result r = Edit({"--seed", "9", "--json"}, steps);
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonArray done = Json(r.out).object()["steps"].toArray();
    ASSERT_EQ(done.size(), 3);
    const QJsonObject cfr = done[1].toObject()["results"].toObject();
    const int passes = cfr["passes"].toInt();
    EXPECT_GE(passes, 1);
    EXPECT_TRUE(cfr.contains("par_pass_" + QString::number(passes) + "_db")) << r.out;
    EXPECT_LE(cfr["par_db"].toDouble(), 6.1);
    EXPECT_GT(cfr["par_pass_1_db"].toDouble(), cfr["par_db"].toDouble());
    const double evm = done[2].toObject()["results"].toObject()["evm_percent"].toDouble();
    EXPECT_GT(evm, 0);
    char notice[64];
    std::snprintf(notice, sizeof notice, "Error: EVM degraded by %.2f%%\n", evm);
    EXPECT_PRED2(Contains, r.err, notice);
}

TEST_F(QrvnEdit, ListShowsEveryToolWithItsParameters) {
    const Result text = Run({"edit", "--list"});
    ASSERT_EQ(text.status, 0) << text.err;
    const Result json = Run({"edit", "--list", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    const QJsonArray tools = Json(json.out).array();
    ASSERT_EQ(tools.size(), static_cast<qsizetype>(AllTools().size())) << json.out;
    for (size_t i = 0; i < AllTools().size(); ++i) {
        const ToolRow& t = AllTools()[i];
        EXPECT_PRED2(Contains, text.out,
                     std::string(t.name) + " (" + std::to_string(t.id) + "): " + t.summary + "\n");
        const QJsonObject o = tools[static_cast<qsizetype>(i)].toObject();
        EXPECT_EQ(o["id"].toInt(), t.id);
        EXPECT_EQ(o["name"].toString().toStdString(), t.name);
        EXPECT_EQ(o["summary"].toString().toStdString(), t.summary);
        const QJsonArray params = o["parameters"].toArray();
        ASSERT_EQ(params.size(), static_cast<qsizetype>(t.prompts.size())) << t.name;
        for (size_t k = 0; k < t.prompts.size(); ++k) {
            const PromptSpec& p = t.prompts[k];
            const QJsonObject q = params[static_cast<qsizetype>(k)].toObject();
            EXPECT_EQ(q["key"].toString().toStdString(), p.name);
            EXPECT_EQ(q["unit"].toString().toStdString(), p.unit);
            if (p.type == PromptType::Text || p.type == PromptType::File) {
                EXPECT_TRUE(q["min"].isNull() && q["max"].isNull()) << p.name;
            } else {
                EXPECT_EQ(q["min"].toDouble(), p.min);
                EXPECT_EQ(q["max"].toDouble(), p.max);
            }
            if (*p.defaultText)
                EXPECT_EQ(q["default"].toString().toStdString(), p.defaultText) << p.name;
            else
                EXPECT_EQ(q["default"].toDouble(-1e300), p.defaultValue) << p.name;
            EXPECT_PRED2(Contains, text.out, "    " + std::string(p.name) + " ");
        }
    }
}

struct Refusal {
    std::vector<std::string> args;  // after "edit IN -o OUT --to 401"
    std::string says;               // part of the one line
};

void PrintTo(const Refusal& r, std::ostream* os) {
    if (r.args.empty()) *os << "no STEP";
    for (const std::string& a : r.args)
        *os << a << " ";
}

class EditRefusals : public QrvnEdit, public ::testing::WithParamInterface<Refusal> {};

TEST_P(EditRefusals, ExitTwoWithOneLineAndNoOutput) {
    const Result r = Edit(GetParam().args, {});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("qrvn: ", 0), 0u) << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_PRED2(Contains, r.err, GetParam().says);
    EXPECT_FALSE(fs::exists(Path("out.txt")));
}

INSTANTIATE_TEST_SUITE_P(
    BadArguments, EditRefusals,
    ::testing::Values(Refusal{{}, "at least one STEP"},
                      Refusal{{"chirp"}, "unknown tool \"chirp\""},
                      Refusal{{"tone:Level=-3"}, "tone has no parameter \"Level\""},
                      Refusal{{"tone:AddToneMHz=1,AddToneMHz=2"}, "given twice"},
                      Refusal{{"noise:AddNoise=loud"}, "is not a number"},
                      Refusal{{"noise:AddNoise=3"},
                              "noise: AddNoise=3 lies outside -300 to 0 dBFS"},
                      Refusal{{"multi-tone:AddMultiToneNum=2.5"}, "is not a whole number"},
                      Refusal{{"tone", "qpsk:x=1"}, "qpsk has no parameter \"x\" (it takes none)"},
                      Refusal{{"--fast", "tone"}, "unknown option --fast"},
                      Refusal{{"--seed", "0", "tone"}, "--seed takes"},
                      Refusal{{"--seed", "2147483647", "tone"}, "--seed takes"},
                      Refusal{{"--span", "7", "tone"}, "--span takes"},
                      Refusal{{"--span", "20:10", "tone"}, "--span takes"},
                      Refusal{{"--span", "-1:10", "tone"}, "--span takes"},
                      Refusal{{"--span", "0:4096", "tone"}, "past the last sample (4095)"},
                      Refusal{{"--to", "40112", "tone"}, "needs a spectrum"},
                      Refusal{{"--type", "999", "tone"}, "unknown file type"},
                      Refusal{{"--list"}, "--list takes no other arguments"},
                      // Text prompts that mean numbers: the dialog would read these as 0.
                      Refusal{{"threshold-scale:gain=abc"}, "\"gain=abc\" is not a number"},
                      // The dialog takes 512 and the operation then fails; a step is refused.
                      Refusal{{"upsample-fft:Upsample=512"}, "lies outside 2 to 256"},
                      Refusal{{"multi-tone:phase=rnd"}, "\"phase=rnd\" is not a number or RND"}));

using Failure = std::pair<std::string, std::string>;  // STEP after "tone", its last texts

class EditFailures : public QrvnEdit, public ::testing::WithParamInterface<Failure> {};

TEST_P(EditFailures, ExitFourWithTheToolsTextAndOutLeftAlone) {
    std::ofstream(Path("out.txt")) << "old";
    const Result r = Edit({}, {"tone", GetParam().first});
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.err, std::string("Adding CW tone...\nCW Tone Added\n") + GetParam().second + "\n");
    EXPECT_EQ(Slurp(Path("out.txt")), "old");
}

INSTANTIATE_TEST_SUITE_P(
    Steps, EditFailures,
    ::testing::Values(Failure("pulse:AddPulse=9", "Invalid Pulse Duration"),
                      Failure("fir-file:file=/nonexistent/taps.bin",
                              "ERR: FIR tap file could not be read: No such file or "
                              "directory"),
                      // A refusal the tool gives without a text.
                      Failure("qam64:ModulationSampleRate=40e6",
                              "ERR: Invalid symbol rate requested"),
                      // A check without a text of its own.
                      Failure("trim-left:TrimLeft=5000", "qrvn: trim-left:TrimLeft=5000 failed")));

// The correlations against IN itself: lag 0 and no offset, printed as numbers.
TEST_F(QrvnEdit, CorrelationsReportTheirNumbers) {
    for (const auto& [tool, result] :
         {std::pair<std::string, std::string>{"cross-correlation", "lag_samples"},
          {"circular-correlation", "lag_samples"},
          {"frequency-offset", "frequency_offset_hz"}}) {
        const Result r = Edit({"--json"}, {tool + ":file=" + in_});
        ASSERT_EQ(r.status, 0) << tool << ": " << r.err;
        const QJsonObject step = Json(r.out).object()["steps"].toArray()[0].toObject();
        ASSERT_TRUE(step["results"].toObject()[QString::fromStdString(result)].isDouble()) << r.out;
        EXPECT_NEAR(step["results"].toObject()[QString::fromStdString(result)].toDouble(), 0.0,
                    0.01)
            << tool;
    }
}

TEST_F(QrvnEdit, SeedsRepeatAndTheClockDoesNot) {
    auto once = [&](std::vector<std::string> extra) {
        EXPECT_EQ(Edit(extra, {"noise:AddNoise=-10"}).status, 0);
        return Slurp(Path("out.txt"));
    };
    const std::string a = once({"--seed", "17", "--span", "100:200"});
    EXPECT_EQ(once({"--seed", "17"}), a);
    EXPECT_NE(once({"--seed", "18"}), a);
    EXPECT_NE(once({}), once({}));
    EXPECT_EQ(once({"--seed", "2147483646"}), Reference({"noise:AddNoise=-10"}, 2147483646).file);
}

TEST_F(QrvnEdit, TheWindowsSettingsAreNeitherReadNorWritten) {
    // Remembered answers that differ from every default, where the window keeps them.
    const fs::path config = Path("config");
    fs::create_directories(config / "Quorvalen");
    fs::create_directories(Path("home"));
    const std::string settings = "[General]\nAddToneMHz=5\nAddTonedBFS=-3\nFiletype=401\n";
    std::ofstream(config / "Quorvalen" / "Quorvalen.conf") << settings;
    Start start;
    start.environment = {"XDG_CONFIG_HOME=" + config.string(), "HOME=" + Path("home")};
    const Result r = Edit({}, {"tone"}, start);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 4096 samples to " + Path("out.txt") + " as type 401\n");
    EXPECT_EQ(Slurp(Path("out.txt")), Reference({"tone"}).file);
    EXPECT_EQ(Slurp((config / "Quorvalen" / "Quorvalen.conf").string()), settings);
    EXPECT_EQ(std::distance(fs::recursive_directory_iterator(config), {}), 2);
    EXPECT_TRUE(fs::is_empty(Path("home")));
}

// fir-design writes the designer's taps (I and Q alike) and reports what they achieve.
TEST_F(Qrvn, FirDesignWritesTheDesignersTaps) {
    const Result r = Run({"fir-design", "--taps", "63", "--pass", "0.15", "--stop", "0.2",
                          "--weight", "4", "-o", Path("taps.cf32"), "--to", "420", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject o = Json(r.out).object();
    const RemezResult expected = RemezDesign(63, {{0, 0.15, 1, 4}, {0.2, 0.5, 0, 7}});
    const QJsonArray taps = o["taps"].toArray();
    ASSERT_EQ(taps.size(), 63);
    cWaveform w;
    w.fileType = 420;
    ASSERT_EQ(w.LoadFile(Path("taps.cf32"), false), 0);
    for (int i = 0; i < 63; ++i) {
        EXPECT_EQ(taps[i].toDouble(), expected.taps[i]);
        EXPECT_EQ(w.I[i], static_cast<float>(expected.taps[i]));
        EXPECT_EQ(w.Q[i], w.I[i]);
    }
    const LowPassFigures figures = MeasureLowPass(expected.taps, 0.15, 0.2);
    EXPECT_EQ(o["stopband_attenuation_db"].toDouble(), figures.stopbandAttenuationDb);
    EXPECT_GT(figures.stopbandAttenuationDb, 40.0);
    // A design whose error is below what the exchange resolves is settled, not refused.
    EXPECT_EQ(Run({"fir-design", "--taps", "41", "--pass", "0.05", "--stop", "0.35", "--weight",
                   "10", "-o", Path("wide.bin")})
                  .status,
              0);
    for (const std::vector<std::string>& bad :
         {Steps{"--taps", "2", "--pass", "0.1", "--stop", "0.2"},
          {"--taps", "21", "--pass", "0.3", "--stop", "0.2"},
          {"--taps", "21", "--pass", "0.1", "--stop", "0.6"},
          {"--taps", "21", "--pass", "0.1", "--stop", "0.2", "--weight", "11"},
          {"--taps", "500", "--pass", "0.1", "--stop", "0.2"},     // more than FIR filtering takes
          {"--taps", "255", "--pass", "0.2", "--stop", "0.3"}}) {  // does not settle
        std::vector<std::string> args{"fir-design", "-o", Path("bad.bin")};
        args.insert(args.end(), bad.begin(), bad.end());
        const Result b = Run(args);
        EXPECT_EQ(b.status, 2) << bad[1] << " " << bad[3];
        EXPECT_EQ(Lines(b.err), 1) << b.err;
        EXPECT_FALSE(fs::exists(Path("bad.bin")));
    }
}

// The designer's taps are a tap file for FIR filtering: a tone in the stop band comes out no
// louder than the attenuation fir-design reports, after the filter scales its largest tap to 0.5.
TEST_F(Qrvn, DesignedTapsFilterAStopBandTone) {
    const std::string in = Save("tone.bin", 4096, [](int k) { return std::polar(0.1, 0.2 * k); });
    const Result d = Run({"fir-design", "--taps", "63", "--pass", "0.005", "--stop", "0.025", "-o",
                          Path("taps.bin"), "--json"});
    ASSERT_EQ(d.status, 0) << d.err;
    const QJsonObject o = Json(d.out).object();
    double largest = 0;
    for (const QJsonValue t : o["taps"].toArray())
        largest = std::max(largest, std::abs(t.toDouble()));
    const Result e = Run({"edit", in, "-o", Path("out.bin"), "fir-file:file=" + Path("taps.bin")});
    ASSERT_EQ(e.status, 0) << e.err;
    cWaveform w;
    w.fileType = 405;
    ASSERT_EQ(w.LoadFile(Path("out.bin"), false), 0);
    // 0.2 rad a sample is 0.0318 cycles, past the stop edge; away from the wrap-around.
    const double bound =
        0.1 * std::pow(10.0, -o["stopband_attenuation_db"].toDouble() / 20) * 0.5 / largest;
    for (int k = 100; k < 4000; ++k)
        ASSERT_LE(std::abs(std::complex<double>(w.I[k], w.Q[k])), bound * 1.001) << k;
}

}  // namespace
