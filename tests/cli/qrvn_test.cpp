// qrvn run as a program on files made by the project's writer: texts and JSON against the
// library, exit statuses, and clear errors for bad input.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>
#include <QPainter>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <numbers>
#include <random>

#include "display/frequency_plot.h"
#include "display/plot_engine.h"
#include "display/plot_style.h"
#include "display/spectrogram_plot.h"
#include "qrvn_runner.h"
#include "spectrum/trace_recompute.h"
#include "waveform/data_digest.h"
#include "waveform/number_format.h"
#include "waveform/waveform.h"

namespace {

constexpr double kFs = 30.72e6;
cd Tone(double a, double hz, int k) { return std::polar(a, 2 * M_PI * hz * k / kFs); }

TEST_F(Qrvn, InfoAgreesWithTheSamplesToThePrintedPrecision) {
    const std::string file =
        Save("tone_30.72MSPS.bin", 10000, [](int k) { return Tone(0.5, 1e6, k) + cd(0.01, 0); });
    cWaveform w;
    w.fileType = 405;
    ASSERT_EQ(w.LoadFile(file, false), 0);
    double power = 0, peak = 0;
    for (int k = 0; k < w.sampleCount; ++k) {
        const double p = std::norm(cd(w.I[k], w.Q[k]));
        power += p;
        peak = std::max(peak, p);
    }
    const Result r = Run({"info", file});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    for (const std::string& line :
         {std::string("samples: 10000\n"),
          std::string("sample rate: 30.72 Msps (from the name: N MSPS)"),
          "rms: " + Fixed(10 * std::log10(power / 10000), 2) + " dBFS",
          "peak: " + Fixed(10 * std::log10(peak), 2) + " dBFS", std::string("signal: complex")})
        EXPECT_PRED2(Contains, r.out, line);

    const Result j = Run({"info", file, "--rate", "1e6", "--json"});
    ASSERT_EQ(j.status, 0);
    const QJsonObject o = Json(j.out).object();
    EXPECT_EQ(o["sample_rate_hz"].toDouble(), 1e6);
    EXPECT_EQ(o["sample_rate_source"].toString(), "option");
    EXPECT_DOUBLE_EQ(o["duration_s"].toDouble(), 0.01);
}

// The names SDR programs give their captures: the type from the extension, the rate and the
// centre from the name; the levels as a decode of the bytes written here says.
TEST_F(Qrvn, SdrCaptureNamesGiveTypeRateAndCentre) {
    std::string bytes;
    double power = 0.0;
    for (int k = 0; k < 4000; ++k) {
        const auto i = static_cast<int16_t>(std::lround(529 * std::cos(0.1 * k)));
        const auto q = static_cast<int16_t>(std::lround(529 * std::sin(0.1 * k)));
        for (const int16_t v : {i, q}) {
            bytes += static_cast<char>(v & 0xff);
            bytes += static_cast<char>((v >> 8) & 0xff);
        }
        power += (double(i) * i + double(q) * q) / (32767.0 * 32767.0);
    }
    const std::string cs16 = Path("g001_433.92M_250k.cs16");
    std::ofstream(cs16, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
    const Result r = Run({"info", cs16, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = Json(r.out).object();
    EXPECT_EQ(o["file_type"].toDouble(), 407);
    EXPECT_EQ(o["sample_rate_hz"].toDouble(), 250e3);
    EXPECT_EQ(o["sample_rate_source"].toString(), "name");
    EXPECT_EQ(o["sample_rate_rule"].toString(), "centre and rate tokens");
    EXPECT_EQ(o["centre_frequency_hz"].toDouble(), 433.92e6);
    const double rms = 10 * std::log10(power / 4000);
    EXPECT_NEAR(o["rms_dbfs"].toDouble(), rms, 1e-4);
    EXPECT_PRED2(Contains, Run({"info", cs16}).out, "(from the name: centre and rate tokens)");

    const std::string gqrx = Save(
        "gqrx_20240131_235959_433920000_2400000_fc.raw", 1000,
        [](int k) { return Tone(0.5, 1e5, k); }, 420);
    o = Json(Run({"info", gqrx, "--json"}).out).object();
    EXPECT_EQ(o["file_type"].toDouble(), 420);
    EXPECT_EQ(o["sample_rate_hz"].toDouble(), 2.4e6);
    EXPECT_EQ(o["centre_frequency_hz"].toDouble(), 433.92e6);
    EXPECT_EQ(o["sample_rate_rule"].toString(), "gqrx");

    // Into a WAV file (16-bit PCM, I left and Q right) and back: the rate from its header.
    ASSERT_EQ(Run({"convert", cs16, Path("iq.wav")}).status, 0);
    o = Json(Run({"info", Path("iq.wav"), "--json"}).out).object();
    EXPECT_EQ(o["file_type"].toDouble(), 407);
    EXPECT_EQ(o["sample_rate_hz"].toDouble(), 250e3);
    EXPECT_EQ(o["sample_rate_source"].toString(), "metadata");
    EXPECT_NEAR(o["rms_dbfs"].toDouble(), rms, 1e-4);

    // Converted by name into the 64-bit float and 32-bit integer types and read back by name.
    for (const auto& [name, type] :
         {std::pair{"c_250k.cf64", 428}, std::pair{"c_250k.ci32", 429}}) {
        ASSERT_EQ(Run({"convert", cs16, Path(name)}).status, 0) << name;
        o = Json(Run({"info", Path(name), "--json"}).out).object();
        EXPECT_EQ(o["file_type"].toDouble(), type);
        EXPECT_NEAR(o["rms_dbfs"].toDouble(), rms, 1e-4) << name;
    }
}

// qrvn info lists a recording's segments and annotations; a range reads the centre of its own.
TEST_F(Qrvn, SigmfSegmentsAndAnnotationsAreListed) {
    std::ofstream(Path("s.sigmf-meta")) << R"({"global": {"core:datatype": "ci8",
        "core:sample_rate": 1e6, "core:version": "1.0.0"},
        "captures": [{"core:sample_start": 0, "core:frequency": 1e8,
                      "core:datetime": "2024-05-01T12:00:00Z"},
                     {"core:sample_start": 400, "core:frequency": 2e8}],
        "annotations": [{"core:sample_start": 10, "core:sample_count": 50, "core:label": "burst",
                         "core:comment": "first", "core:freq_lower_edge": 99.9e6,
                         "core:freq_upper_edge": 100.1e6}]})";
    std::ofstream(Path("s.sigmf-data")) << std::string(1600, '\x21');
    const Result r = Run({"info", Path("s.sigmf-meta")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"segments: 2\n  1: from sample 0, centre 100 MHz, 2024-05-01T12:00:00Z\n"
          "  2: from sample 400, centre 200 MHz\n",
          "annotations: 1\n  burst: sample 10 + 50, 99.9 MHz to 100.1 MHz (first)\n"})
        EXPECT_PRED2(Contains, r.out, line);
    const QJsonObject s =
        Json(Run({"info", Path("s.sigmf-meta"), "--json"}).out).object()["sigmf"].toObject();
    EXPECT_EQ(s["segments"].toArray()[1].toObject()["frequency_hz"].toDouble(), 2e8);
    const QJsonObject a = s["annotation_list"].toArray()[0].toObject();
    EXPECT_EQ(a["label"].toString(), "burst");
    EXPECT_EQ(a["sample_count"].toDouble(), 50);
    EXPECT_EQ(a["freq_upper_edge_hz"].toDouble(), 100.1e6);
    const QJsonObject ranged =
        Json(Run({"info", Path("s.sigmf-meta"), "--range", "500:100", "--json"}).out).object();
    EXPECT_EQ(ranged["centre_frequency_hz"].toDouble(), 2e8);

    // A time view drawn by render shows the annotation's span: against the same samples
    // without it, only the columns of samples 10 to 60 of the 800 differ.
    ASSERT_EQ(Run({"render", Path("s.sigmf-meta"), "--view", "time-iq", "-o", Path("a.png"),
                   "--size", "900x300"})
                  .status,
              0);
    std::filesystem::copy_file(Path("s.sigmf-data"), Path("plain.cs8"));
    ASSERT_EQ(Run({"render", Path("plain.cs8"), "--rate", "1e6", "--view", "time-iq", "-o",
                   Path("b.png"), "--size", "900x300"})
                  .status,
              0);
    const QImage with(QString::fromStdString(Path("a.png"))),
        without(QString::fromStdString(Path("b.png")));
    int lo = 900, hi = -1;
    for (int y = 40; y < 250; ++y)  // below the statistics, above the axis
        for (int x = 0; x < 900; ++x)
            if (with.pixel(x, y) != without.pixel(x, y)) lo = std::min(lo, x), hi = std::max(hi, x);
    const PlotMargins mg = PlotStyle().margins;
    const double pw = mg.PlotWidth(900);
    EXPECT_NEAR(lo, mg.left + 10 / 799.0 * pw, 2);
    EXPECT_NEAR(hi, mg.left + 60 / 799.0 * pw, 2);
}

// A two-channel recording: --channel picks one, whose levels are those of the bytes written
// here; the digest is checked and a changed byte reported; the channel converts into an
// archive that reads back with a digest that holds.
TEST_F(Qrvn, ChannelsDigestsAndArchivesOfRecordings) {
    std::string data;
    double power[2] = {0, 0};
    for (int k = 0; k < 1000; ++k)
        for (int c = 0; c < 2; ++c) {
            const int v = c == 0 ? 100 : (k % 2 ? 20 : -20);
            data += {static_cast<char>(v), static_cast<char>(v)};
            power[c] += 2.0 * v * v / (127.0 * 127.0);
        }
    std::ofstream(Path("two.sigmf-data"), std::ios::binary) << data;
    cSha512 digest;  // checked against the FIPS 180-2 values in the core's tests
    digest.Add(data.data(), data.size());
    std::ofstream(Path("two.sigmf-meta"))
        << R"({"global": {"core:datatype": "ci8", "core:sample_rate": 1e6, "core:version": "1.0.0",
              "core:num_channels": 2, "core:sha512": ")"
        << digest.Hex() << "\"}}";
    for (int c = 0; c < 2; ++c) {
        const Result r =
            Run({"info", Path("two.sigmf-meta"), "--channel", std::to_string(c), "--json"});
        ASSERT_EQ(r.status, 0) << r.err;
        const QJsonObject o = Json(r.out).object();
        EXPECT_NEAR(o["rms_dbfs"].toDouble(), 10 * std::log10(power[c] / 1000), 1e-4) << c;
        EXPECT_EQ(o["sigmf"].toObject()["channels"].toDouble(), 2);
        EXPECT_EQ(o["sigmf"].toObject()["sha512_check"].toString(), "matches");
    }
    EXPECT_PRED2(
        Contains, Run({"info", Path("two.sigmf-meta")}).out,
        "channels: 2 (reading channel 0; --channel N for another)\nsha512: matches the data\n");
    const Result three = Run({"info", Path("two.sigmf-meta"), "--channel", "2"});
    EXPECT_EQ(three.status, 2);
    EXPECT_PRED2(Contains, three.err,
                 "the recording holds 2 channels (0 to 1); there is no channel 2");
    EXPECT_PRED2(Contains, Run({"info", Path("two.sigmf-data"), "--channel", "x"}).err,
                 "invalid channel 'x'");

    ASSERT_EQ(Run({"convert", Path("two.sigmf-data"), Path("one.sigmf"), "--channel", "1"}).status,
              0);
    const QJsonObject one = Json(Run({"info", Path("one.sigmf"), "--json"}).out).object();
    EXPECT_NEAR(one["rms_dbfs"].toDouble(), 10 * std::log10(power[1] / 1000), 1e-3);
    EXPECT_EQ(one["sigmf"].toObject()["channels"].toDouble(), 1);
    EXPECT_EQ(one["sigmf"].toObject()["sha512_check"].toString(), "matches");

    data[7] ^= 1;
    std::ofstream(Path("two.sigmf-data"), std::ios::binary) << data;
    const Result changed = Run({"info", Path("two.sigmf-meta")});
    EXPECT_EQ(changed.status, 0);
    EXPECT_PRED2(Contains, changed.out,
                 "sha512: does not match the data: the samples are not those that were recorded");
}

TEST_F(Qrvn, RecordingsAreReadWrittenAndDescribed) {
    // A raw int8 capture converts into a recording without naming either type.
    const std::string cs8 = Save(
        "burst_30.72MSPS.cs8", 4096, [](int k) { return Tone(0.8, 3e6, k); }, 421);
    const std::string rec = Path("burst.sigmf-meta");
    Result r = Run({"convert", cs8, rec, "--description", "Burst\nline 2", "--author", "Ann"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote 4096 samples to " + rec + " as type 407 (SigMF ci16_le, metadata " +
                         rec + ")\n");
    // The data file is the 407 encoding of what was read.
    cWaveform w;
    w.fileType = 421;
    ASSERT_EQ(w.LoadFile(cs8, false), 0);
    w.fileType = 407;
    ASSERT_EQ(w.SaveFile(Path("expected.bin")), 1);
    EXPECT_EQ(Slurp(Path("burst.sigmf-data")), Slurp(Path("expected.bin")));

    // A centre frequency added to the metadata shows in info and in measure's JSON.
    std::string meta = Slurp(rec);
    const size_t start = meta.find("\"core:sample_start\": 0");
    ASSERT_NE(start, std::string::npos) << meta;
    meta.insert(start, "\"core:frequency\": 433.92e6, ");
    std::ofstream(rec, std::ios::trunc) << meta;
    r = Run({"info", Path("burst.sigmf-data")});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* line :
         {"type: 407 (", "recording: SigMF, datatype ci16_le\n", "description: Burst\\nline 2\n",
          "author: Ann\n", "centre frequency: 433.92 MHz\n",
          "sample rate: 30.72 Msps (from the metadata)\n"})
        EXPECT_PRED2(Contains, r.out, line);

    for (const char* view : {"iq", "qi", "i"}) {
        r = Run({"measure", rec, "--json", "--obw", "--view", view});
        ASSERT_EQ(r.status, 0) << r.err;
        const QJsonObject o = Json(r.out).object();
        EXPECT_EQ(o["centre_frequency_hz"].toDouble(), 433.92e6);
        const QJsonObject obw = o["obw"].toObject();
        if (std::string(view) == "i") {  // one real channel has no RF frequencies
            EXPECT_FALSE(obw.contains("lower_edge_abs_hz")) << r.out;
            continue;
        }
        // The tone lies 3 MHz above the centre, whichever way the view mirrors it.
        const double sign = std::string(view) == "iq" ? 1 : -1;
        EXPECT_NEAR(obw["lower_edge_hz"].toDouble() * sign, 3e6, 5e4) << r.out;
        EXPECT_NEAR(obw["lower_edge_abs_hz"].toDouble(), 436.92e6, 5e4) << r.out;
        EXPECT_NEAR(obw["upper_edge_abs_hz"].toDouble(), 436.92e6, 5e4) << r.out;
        EXPECT_LT(obw["lower_edge_abs_hz"].toDouble(), obw["upper_edge_abs_hz"].toDouble());
    }
    // And back out of the recording, keeping what it said when it goes to another one.
    r = Run({"convert", rec, Path("again_30.72MSPS.cu8")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run({"convert", Path("again_30.72MSPS.cu8"), Path("f.sigmf-data"), "--to", "420"});
    ASSERT_EQ(r.status, 0) << r.err;
    r = Run({"convert", rec, Path("g.sigmf-data"), "--to", "420"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_PRED2(Contains, Slurp(Path("g.sigmf-meta")), "\"core:frequency\": 433920000.0");
    EXPECT_FALSE(Contains(Slurp(Path("f.sigmf-meta")), "core:frequency"));
    const QJsonObject f = Json(Run({"info", Path("f.sigmf-meta"), "--json"}).out).object();
    EXPECT_EQ(f["file_type"].toDouble(), 420);
    EXPECT_EQ(f["sample_rate_hz"].toDouble(), 30.72e6);
}

TEST_F(Qrvn, MeasureJsonMatchesTheLibrary) {
    const std::string file = Save("two_30.72MSPS.bin", 1 << 16, [](int k) {
        const cd x = Tone(0.3, 2e6, k) + Tone(0.3, 2.5e6, k);
        return x - 0.05 * std::norm(x) * x;
    });
    const Result r = Run({"measure", file, "--imd", "--sfdr", "--obw", "--fft", "8192", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonParseError error;
    const QJsonObject o =
        QJsonDocument::fromJson(QByteArray::fromStdString(r.out), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.out;

    // The same pipeline in-process.
    cWaveform w;
    w.fileType = 405;
    ASSERT_EQ(w.LoadFile(file, false), 0);
    cPlotEngine e;
    e.measurements.settings.imdOn = e.measurements.settings.sfdrOn = e.measurements.settings.obwOn =
        true;
    cSpectrumRecompute rc;
    SpectrumSettings s;
    s.fftSize = 8192;
    std::atomic<bool> stop{false};
    RecomputeHooks hooks;
    hooks.measure = [&] { e.Measure(); };
    rc.Recompute(e.trace, w, s, stop, hooks, 0);
    MeasureShown(e, 1600, -kFs / 2, kFs / 2);

    EXPECT_EQ(o["fft_size"].toDouble(), 8192);
    EXPECT_EQ(o["frames"].toDouble(), 8);
    EXPECT_EQ(o["total_power_db"].toDouble(), e.trace.totalPowerDb);
    EXPECT_EQ(o["imd"].toObject()["carrier1_power_db"].toDouble(), e.shown.toneMarkerPowerDb);
    // Tone 1 is reported with every other measurement asked for.
    EXPECT_EQ(o["marker_power_db"].toDouble(), e.shown.toneMarkerPowerDb);
    EXPECT_EQ(o["peak_frequency_hz"].toDouble(), e.shown.tonePeakFrequencyHz);
    EXPECT_EQ(o["sfdr_db"].toDouble(), e.measurements.results.sfdrDb);
    ASSERT_TRUE(e.measurements.results.tonePair.has_value());
    EXPECT_EQ(o["imd"].toObject()["ip3_dbfs"].toDouble(), e.measurements.results.tonePair->ip3Dbfs);
    EXPECT_EQ(o["obw"].toObject()["bandwidth_hz"].toDouble(),
              e.measurements.results.obw.bandwidthHz);

    // The text form is the panel as the window shows it.
    const Result text = Run({"measure", file, "--imd", "--fft", "8192"});
    ASSERT_EQ(text.status, 0);
    EXPECT_PRED2(Contains, text.out,
                 "IP3: " + Fixed(e.measurements.results.tonePair->ip3Dbfs, 2) + " dBFS\n");
    EXPECT_PRED2(Contains, text.out, "Resolution BW: 3.75 kHz\n");
    EXPECT_PRED2(Contains, text.out,
                 "Marker Power: " + Fixed(e.shown.toneMarkerPowerDb, 2) + " dB\n");

    // Tones below DC in a DC-to-fs view: JSON reports them above fs/2, as the text does.
    const std::string negative = Save("neg_30.72MSPS.bin", 1 << 16, [](int k) {
        const cd x = Tone(0.3, -2e6, k) + Tone(0.3, -2.5e6, k);
        return x - 0.05 * std::norm(x) * x;
    });
    const Result dcfs =
        Run({"measure", negative, "--imd", "--sfdr", "--view", "iq-dcfs", "--json"});
    ASSERT_EQ(dcfs.status, 0) << dcfs.err;
    const QJsonObject d = Json(dcfs.out).object();
    const double carrier2 = d["imd"].toObject()["carrier2_frequency_hz"].toDouble();
    EXPECT_GT(carrier2, kFs / 2);
    const Result dcfsText = Run({"measure", negative, "--imd", "--view", "iq-dcfs"});
    EXPECT_PRED2(Contains, dcfsText.out,
                 "Carrier2 Frequency: " + Fixed(carrier2 / 1e6, 3) + " MHz");
    for (const auto& spur : d["spurs"].toArray())
        EXPECT_GE(spur.toObject()["frequency_hz"].toDouble(), 0.0);
}

TEST_F(Qrvn, EmissionMaskExitStatus) {
    std::mt19937 rng(1);
    std::normal_distribution<double> g(0.0, 0.05);
    // A clean carrier spread over +-2 MHz (tones on bins, 60 kHz apart) passes; the same with
    // broadband noise 30 dB above the out-of-band limits fails.
    std::vector<double> phase(67);
    for (double& p : phase)
        p = std::uniform_real_distribution<double>(0, 2 * M_PI)(rng);
    auto carrier = [&](int k) {
        cd s = 0;
        for (int i = -33; i <= 33; ++i)
            s += Tone(0.03, i * 60e3, k) * std::polar(1.0, phase[i + 33]);
        return s;
    };
    const std::string clean = Save("clean_30.72MSPS.bin", 1 << 16, carrier);
    const std::string noisy = Save("noisy_30.72MSPS.bin", 1 << 16,
                                   [&](int k) { return carrier(k) + cd(g(rng), g(rng)); });
    const std::vector<std::string> mask = {"--mask",        "707", "--mask-bw", "5",
                                           "--carrier-dbm", "40",  "--json"};
    auto run = [&](const std::string& f) {
        std::vector<std::string> a = {"measure", f};
        a.insert(a.end(), mask.begin(), mask.end());
        return Run(a);
    };
    const Result pass = run(clean), fail = run(noisy);
    EXPECT_EQ(pass.status, 0) << pass.err << pass.out;
    EXPECT_EQ(fail.status, 3) << fail.err << fail.out;
    EXPECT_TRUE(Json(pass.out).object()["mask"].toObject()["pass"].toBool());
    // Too coarse a resolution for the 30 kHz bandwidths: a clear error instead of silence.
    const Result coarse =
        Run({"measure", clean, "--mask", "707", "--mask-bw", "5", "--fft", "512"});
    EXPECT_EQ(coarse.status, 2);
    EXPECT_PRED2(Contains, coarse.err, "finer resolution");
}

// Status 2 and one line on stderr: the whole line where it is given with its "\n", else a part.
TEST_F(Qrvn, BadInputGivesOneLineErrors) {
    const std::string good = Save("g_30.72MSPS.bin", 4096, [](int k) { return Tone(0.5, 1e6, k); });
    const std::string cs8 = Save(
        "a.cs8", 16, [](int) { return cd(0.5, 0); }, 421);
    std::ofstream(Path("empty.bin")).close();
    std::ofstream(Path("bad.sigmf-meta")) << R"({"global": {"core:datatype": "cu32_le"}})";
    std::ofstream(Path("bad.sigmf-data")) << std::string(64, 'x');
    const std::string fifo = Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"measure", Path("missing.bin")}, "cannot open"},
        {{"measure", Path("empty.bin")}, "is empty"},
        {{"info", good, "--type", "999"}, "unknown file type"},
        {{"measure", good, "--fft", "1000"}, "power of two"},
        {{"measure", good, "--frobnicate"}, "unknown option --frobnicate"},
        {{"measure", good, "--aclr", "7"}, "--aclr takes"},
        {{"measure", good, "--mask", "707"}, "go together"},
        {{"convert", good, Path("o.bin"), "--from", "405", "--to", "419"}, "cannot be written"},
        {{"render", good, "-o", Path("v.png"), "--view", "315"}, "is not a view kind"},
        {{"frobnicate"}, "unknown verb"},
        {{"info", Path("new\nline.bin")}, "new\\nline.bin: No such file"},
        // Ids beyond 32 bits are refused, not wrapped to 405, 303 and 707.
        {{"info", good, "--type", "4294967701"}, "unknown file type"},
        {{"render", good, "-o", Path("v.png"), "--view", "4294967599"}, "is not a view kind"},
        {{"measure", good, "--mask", "4294967603", "--mask-bw", "5"}, "--mask takes"},
        {{"measure", good, "--span", "20e6:30e6"}, "outside the spectrum"},
        {{"measure", good, "--span", "-30e6:-16e6"}, "outside the spectrum"},
        {{"convert", good, Path("o.csv"), "--from", "405", "--to", "40112"}, "needs a spectrum"},
        // Neither read from nor written to: a FIFO would block for ever.
        {{"info", fifo}, "is not a regular file"},
        {{"render", good, "-o", fifo}, "is not a regular file"},
        {{"convert", good, fifo, "--from", "405", "--to", "401"}, "is not a regular file"},
        {{"info", Path("bad.sigmf-data")},
         "qrvn: cannot read the recording " + Path("bad.sigmf-data") +
             ": bad.sigmf-meta: datatype cu32_le is not supported (this program reads cf32, "
             "ci16, cu16, ci8 and cu8 and their real forms, cf64_le and ci32_le)\n"},
        {{"info", Path("bad.sigmf-meta"), "--type", "405"},
         "qrvn: --type does not apply to " + Path("bad.sigmf-meta") +
             ": a SigMF recording is read as its metadata says\n"},
        {{"convert", cs8, Path("o.sigmf-meta"), "--to", "405"},
         "qrvn: a SigMF recording is written as 407 (ci16_le) or 420 (cf32_le), not as 405\n"},
        {{"convert", cs8, Path("o.bin")},
         "qrvn: convert needs --to ID for " + Path("o.bin") + "\n"},
        {{"convert", cs8, Path("o.cu8"), "--author", "x"},
         "qrvn: --description and --author go only into a SigMF recording\n"},
    };
    for (const auto& [args, expect] : cases) {
        const Result r = Run(args);
        EXPECT_EQ(r.status, 2) << args[0] << " " << expect;
        EXPECT_EQ(Lines(r.err), 1) << r.err;
        if (expect.back() == '\n')
            EXPECT_EQ(r.err, expect);
        else
            EXPECT_PRED2(Contains, r.err, expect);
    }
}

TEST_F(Qrvn, LoadNotesRateSourcesAndValuesStartingWithAMinus) {
    const std::string text = Path("t_1MSPS.txt");
    std::ofstream(text) << "I,Q\n0.5,0.25\n-1,1\n";
    Result r = Run({"info", text, "--type", "401"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "qrvn: " + text + ": 1 line was not a number\n");

    // A rate below 1 kHz in the name gives way to the fallback, and says so.
    const std::string slow =
        Save("s_0.0001MSPS.bin", 4096, [](int k) { return Tone(0.5, 1e6, k); });
    r = Run({"info", slow, "--json"});
    const QJsonObject o = Json(r.out).object();
    EXPECT_EQ(o["sample_rate_source"].toString(), "fallback");
    EXPECT_EQ(o["sample_rate_hz"].toDouble(), 245.76e6);

    const std::string good = Save("g_30.72MSPS.bin", 4096, [](int k) { return Tone(0.5, 1e6, k); });
    r = Run({"measure", good, "--span", "-5e6:5e6", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject m = Json(r.out).object();
    EXPECT_EQ(m["span_low_hz"].toDouble(), -5e6);
    EXPECT_EQ(m["span_high_hz"].toDouble(), 5e6);
    // Spans of a few hertz: grids finer than 1 Hz (the sanitizer build checks the arithmetic).
    for (const char* view : {"iq", "multi", "i"}) {
        r = Run({"render", good, "-o", Path("slow.png"), "--size", "400x300", "--rate", "3",
                 "--view", view});
        EXPECT_EQ(r.status, 0) << view << ": " << r.err;
    }
}

TEST_F(Qrvn, FailedWritesAreReportedAndReplaceNothing) {
    const std::string in = Save("w_30.72MSPS.bin", 20000, [](int k) { return Tone(0.5, 1e6, k); });

    // Standard output that cannot be written: status 1, one line.
    for (const Start& start : {Start{"/dev/full"}, Start{"", true}}) {
        const Result r = Run({"info", in}, start);
        EXPECT_EQ(r.status, 1) << start.stdoutPath;
        EXPECT_PRED2(Contains, r.err, "cannot write the output");
        EXPECT_EQ(Lines(r.err), 1) << r.err;
    }
    // A reader that closed the pipe (`| true`): status 1 without a word, not a signal.
    Start gone;
    gone.readerGone = true;
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"info", in}, {"measure", in}, {"edit", "--list"}}) {
        const Result r = Run(args, gone);
        EXPECT_EQ(r.status, 1) << args[0];
        EXPECT_EQ(r.err, "") << args[0];
    }

    // A file-size limit stops the writes part-way: the old files stay whole, no temporary
    // file is left, and the picture encoder's own complaint does not reach stderr.
    const std::string oldBin = Path("old.bin"), oldPng = Path("old.png");
    std::ofstream(oldBin) << "old samples";
    std::ofstream(oldPng) << "old picture";
    Start limited;
    limited.fileSizeLimit = 4000;
    Result r = Run({"convert", in, oldBin, "--from", "405", "--to", "405"}, limited);
    EXPECT_EQ(r.status, 2);
    EXPECT_PRED2(Contains, r.err, "File too large");
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    r = Run({"render", in, "-o", oldPng}, limited);
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(Contains(r.err, "libpng")) << r.err;
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_EQ(Slurp(oldBin), "old samples");
    EXPECT_EQ(Slurp(oldPng), "old picture");
    for (const auto& e : fs::directory_iterator(dir_))
        EXPECT_EQ(e.path().filename().string().find(".saving-"), std::string::npos);

    // A file the user may not read: the system's reason.
    ASSERT_EQ(chmod(in.c_str(), 0), 0);
    Start nobody;
    nobody.unprivileged = true;
    r = Run({"info", in}, nobody);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "qrvn: cannot open " + in + ": Permission denied\n");
}

TEST_F(Qrvn, AFileReadOnlyInPartIsNotConvertedOverItself) {
    const std::string big = Path("big.txt");
    WritePartlyReadText(big);
    const Result r = Run({"convert", big, big, "--from", "402", "--to", "402"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("qrvn: only the first 500,000,000 of the 600,000,000 bytes of " + big, 0),
              0u)
        << r.err;
    EXPECT_PRED2(Contains, r.err, "save under another name");
    EXPECT_EQ(Lines(r.err), 1) << r.err;
    EXPECT_EQ(fs::file_size(big), 600'000'000u);
    const Result edit = Run({"edit", big, "-o", big, "--type", "402", "dc"});
    EXPECT_EQ(edit.status, 2);
    EXPECT_PRED2(Contains, edit.err, "save under another name");
    EXPECT_EQ(fs::file_size(big), 600'000'000u);
}

TEST_F(Qrvn, ZerosAreMeasuredNotCrashedOn) {
    const std::string zeros = Save("zeros_30.72MSPS.bin", 4096, [](int) { return cd(0, 0); });
    const Result info = Run({"info", zeros, "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    const QJsonObject o = Json(info.out).object();
    EXPECT_EQ(o["complex"].toBool(), false);
    EXPECT_LT(o["rms_dbfs"].toDouble(), -250.0);
    const Result m = Run({"measure", zeros, "--sfdr", "--json"});
    EXPECT_EQ(m.status, 0) << m.err;
    EXPECT_FALSE(Json(m.out).isNull());
    EXPECT_EQ(Json(m.out).object()["view"].toDouble(), 301);  // real
}

TEST_F(Qrvn, ConvertRenderAndHelp) {
    const std::string in = Save("c_30.72MSPS.bin", 2000, [](int k) { return Tone(0.25, 3e6, k); });
    ASSERT_EQ(Run({"convert", in, Path("c.txt"), "--from", "405", "--to", "401"}).status, 0);
    ASSERT_EQ(
        Run({"convert", Path("c.txt"), Path("back.bin"), "--from", "401", "--to", "405"}).status,
        0);
    EXPECT_EQ(Slurp(Path("back.bin")), Slurp(in));  // text keeps the quantised values exactly

    const Result r =
        Run({"render", in, "-o", Path("p.png"), "--size", "640x400", "--view", "iq-dcfs"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage png(QString::fromStdString(Path("p.png")));
    EXPECT_EQ(png.size(), QSize(640, 400));
    EXPECT_EQ(QColor(png.pixel(200, 200)), QColor(0, 0, 0));  // plot area

    // Every other kind draws its trace somewhere: green, red for Q, or the constellation's
    // bright green towards white.
    for (const char* view : {"multi", "time-i", "time-q", "309", "logmag", "phase", "vector",
                             "ccdf", "constellation", "--phase"}) {
        const Result k =
            std::string(view) == "--phase"
                ? Run({"render", in, "-o", Path("k.png"), "--size", "500x320", "--phase"})
                : Run({"render", in, "-o", Path("k.png"), "--size", "500x320", "--view", view});
        ASSERT_EQ(k.status, 0) << view << ": " << k.err;
        const QImage kind(QString::fromStdString(Path("k.png")));
        ASSERT_EQ(kind.size(), QSize(500, 320)) << view;
        int green = 0;
        for (int y = 0; y < kind.height(); ++y)
            for (int x = 0; x < kind.width(); ++x) {
                const QColor c(kind.pixel(x, y));
                green += c == QColor(255, 0, 0) ||
                         (c.green() >= 175 && c.red() < c.green() && c.blue() < c.green());
            }
        EXPECT_GT(green, 20) << view;
    }

    for (const char* verb : {"info", "measure", "convert", "render", "edit"}) {
        const Result h = Run({verb, "--help"});
        EXPECT_EQ(h.status, 0) << verb;
        EXPECT_EQ(h.out.rfind(std::string("usage: qrvn ") + verb, 0), 0u) << h.out;
    }
    EXPECT_EQ(Run({}).status, 2);
}

}  // namespace

int main(int argc, char** argv) {
    // The in-process comparison draws with fonts, which need a GUI application.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

namespace {

// Sparse files beyond the working limit with a tone in their last 65,536 samples: described
// from the size, ranges read alone (measured and converted as the same samples in a file of
// their own), the whole file measured and its overview written as a .npy.
TEST_F(Qrvn, CapturesOfAnySize) {
    const std::string small = Save(
        "tail_2.4MSPS.cf32", 65536, [](int k) { return Tone(0.5, 3e6, k); }, 420);
    const std::string tail = Slurp(small);
    const auto sparse = [&](const std::string& name, int64_t bytes) {
        std::ofstream f(Path(name), std::ios::binary);
        f.seekp(bytes - int64_t(tail.size()));
        f.write(tail.data(), std::streamsize(tail.size()));
        return Path(name);
    };
    constexpr int64_t kBytes = int64_t{20} << 30, kSamples = kBytes / 8;
    const std::string big = sparse("big_2.4MSPS.cf32", kBytes);
    // Passes over every sample take a smaller one: 75,000,000 samples.
    const std::string mid = sparse("mid_2.4MSPS.cf32", 600'000'000);
    Result r = Run({"info", big, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = Json(r.out).object();
    EXPECT_EQ(o["samples"].toDouble(), double(kSamples));
    EXPECT_EQ(o["levels_read"].toBool(true), false);

    const std::string range = std::to_string(kSamples - 65536) + ":65536";
    // The same figures as the samples in a file of their own; the last frame placed in the
    // big file (its 49,152th sample of the range is 1118.47 s into it).
    const std::string ranged = Run({"measure", big, "--range", range, "--sfdr"}).out;
    const std::string alone = Run({"measure", small, "--sfdr"}).out;
    EXPECT_EQ(ranged.substr(0, ranged.find('\n')), "FFT Position: 1118.47 s");
    EXPECT_EQ(ranged.substr(ranged.find('\n')), alone.substr(alone.find('\n')));
    r = Run({"convert", big, Path("cut.cf32"), "--range", range});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(Path("cut.cf32")), tail);
    // As a recording, it says where it began; its metadata describes no missing samples.
    r = Run({"convert", big, Path("cut.sigmf-meta"), "--range", range, "--to", "420"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Slurp(Path("cut.sigmf-data")), tail);
    EXPECT_PRED2(Contains, Slurp(Path("cut.sigmf-meta")),
                 "\"core:offset\": " + std::to_string(kSamples - 65536));
    EXPECT_EQ(Run({"info", Path("cut.sigmf-meta")}).err, "");
    // Seconds at the rate in the name: 10 ms near the end (1118.48 s).
    r = Run({"info", big, "--range", "1118.47s:0.01s"});
    EXPECT_PRED2(Contains, r.out, "samples: 24000\n");

    // The whole file: the tone's figures from every frame, a peak 6 dB below full scale.
    r = Run({"measure", mid, "--whole", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    o = Json(r.out).object();
    EXPECT_NEAR(o["peak_frequency_hz"].toDouble(), 3e6 * 2.4 / 30.72, 100);
    EXPECT_EQ(o["whole"].toObject()["samples"].toDouble(), 75e6);
    EXPECT_NEAR(o["whole"].toObject()["peak_dbfs"].toDouble(), -6.02, 0.01);

    r = Run({"overview", mid, "-o", Path("o.npy"), "--columns", "4096"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string npy = Slurp(Path("o.npy"));
    ASSERT_EQ(npy.size(), 128 + 2 * 4096 * 4);
    EXPECT_EQ(npy.substr(0, 8), std::string("\x93NUMPY\x01\x00", 8));
    EXPECT_PRED2(Contains, npy.substr(0, 128),
                 "'descr': '<f4', 'fortran_order': False, 'shape': (2, 4096)");
    float peak[4096];
    std::memcpy(peak, npy.data() + 128, sizeof peak);
    EXPECT_NEAR(peak[4095], -6.02f, 0.01f);  // the tone in the last column
    EXPECT_LT(peak[4091], -290.0f);          // silence before it

    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"measure", big, "--range", "5:0"}, "at least one sample"},
             {{"measure", big, "--range", "-1:5"}, "before sample 0"},
             {{"measure", big, "--range", range + "1"}, "past the end"},
             {{"measure", big, "--range", "1s"}, "START:LEN"},
             {{"measure", big, "--range", "0:1", "--whole"}, "exclude each other"},
             {{"info", small, "--type", "400", "--range", "0:5"}, "text type"},
             {{"overview", big, "-o", Path("x.npy"), "--columns", "0"}, "--columns"}}) {
        r = Run(args);
        EXPECT_EQ(r.status, 2) << args[2];
        EXPECT_PRED2(Contains, r.err, message);
    }
}

}  // namespace

namespace {

// Rows of a tone that hops from +1/8 to -1/4 of the rate half way, as .npy files and as a
// picture; the axes on stdout; bad settings refused with the reason.
TEST_F(Qrvn, SpectrogramRowsAxesAndPicture) {
    constexpr int n = 65536;
    const std::string hop = Save(
        "hop_1MSPS.cf32", n,
        [](int k) { return std::polar(0.5, 2 * M_PI * (k < n / 2 ? 0.125 : -0.25) * k); }, 420);
    auto rowsOf = [&](const std::string& npy, int rows, int points) {
        const std::string bytes = Slurp(npy);
        EXPECT_EQ(bytes.substr(0, 6), "\x93NUMPY");
        const size_t header = 10 + size_t(uint8_t(bytes[8])) + 256 * size_t(uint8_t(bytes[9]));
        EXPECT_PRED2(Contains, bytes.substr(0, header),
                     "'shape': (" + std::to_string(rows) + ", " + std::to_string(points) + ")");
        EXPECT_EQ(header % 64, 0u);
        std::vector<float> v(size_t(rows) * points);
        EXPECT_EQ(bytes.size(), header + v.size() * 4);
        std::memcpy(v.data(), bytes.data() + header, std::min(bytes.size() - header, v.size() * 4));
        return v;
    };
    auto peakOf = [](const std::vector<float>& v, int row, int points) {
        return int(std::max_element(v.begin() + row * points, v.begin() + (row + 1) * points) -
                   (v.begin() + row * points));
    };
    Result r = Run({"spectrogram", hop, "-o", Path("s.npy"), "--fft", "256", "--rows", "64"});
    ASSERT_EQ(r.status, 0) << r.err;
    QJsonObject o = Json(r.out).object();
    EXPECT_EQ(o["rows"].toInt(), 64);
    EXPECT_EQ(o["first_frequency_hz"].toDouble(), -500000.0);
    EXPECT_EQ(o["frequency_step_hz"].toDouble(), 1e6 / 256);
    EXPECT_EQ(o["time_step_s"].toDouble(), 1024 / 1e6);
    EXPECT_EQ(o["hold"].toString(), "peak");
    std::vector<float> v = rowsOf(Path("s.npy"), 64, 256);
    EXPECT_EQ(peakOf(v, 0, 256), 128 + 32);
    EXPECT_EQ(peakOf(v, 63, 256), 128 - 64);
    // A tone on a bin under the 256-point Hann window of unit RMS: its mean, 255/512, over the
    // continuous window's RMS.
    EXPECT_NEAR(v[160], 20 * std::log10(0.5 * (255.0 / 512) / std::sqrt(3.0 / 8)), 0.002);

    // Only the range is read: every row is the second tone's; seconds work as elsewhere.
    r = Run({"spectrogram", hop, "-o", Path("r.npy"), "--fft", "64", "--rows", "8", "--range",
             "0.04s:0.02s", "--hold", "mean", "--window", "rect", "--overlap", "0"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Json(r.out).object()["first_time_s"].toDouble(), 0.04);
    v = rowsOf(Path("r.npy"), 8, 64);
    for (int row = 0; row < 8; ++row)
        EXPECT_EQ(peakOf(v, row, 64), 32 - 16) << row;

    for (const auto& [args, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--fft", "100"}, "--fft must be a power of two from 64 to 65536"},
             {{"--overlap", "96"}, "--overlap takes a percent from 0 to 95"},
             {{"--rows", "70000"}, "--rows 70000 is more than the 65536 samples to show"},
             {{"--hold", "max"}, "--hold takes peak or mean"}}) {
        std::vector<std::string> call = {"spectrogram", hop, "-o", Path("bad.npy")};
        call.insert(call.end(), args.begin(), args.end());
        r = Run(call);
        EXPECT_EQ(r.status, 2);
        EXPECT_PRED2(Contains, r.err, message);
    }
    EXPECT_FALSE(fs::exists(Path("bad.npy")));

    r = Run({"render", hop, "--view", "spectrogram", "--size", "640x400", "--colours", "grey", "-o",
             Path("s.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "wrote " + Path("s.png") + " (640x400, view 330)\n");
    QImage png(QString::fromStdString(Path("s.png")));
    EXPECT_EQ(png.size(), QSize(640, 400));
    // Grey: the tone's column is the lightest of the top row.
    const QRect area = SpectrogramPlotArea(640, 400);
    const int toneX = int(SpectrogramXOfHz(1.25e5, 640, -5e5, 5e5));
    EXPECT_GE(qGray(png.pixel(toneX, area.top() + 3)), 250);
    EXPECT_LT(qGray(png.pixel(area.left() + 5, area.top() + 3)), 128);
}

}  // namespace

namespace {

// Markers, band power and noise density in the text and the JSON; the marker on the tone reads
// what the tone measurement reads; bad requests are refused before any reading.
TEST_F(Qrvn, MarkersBandPowerAndNoiseDensity) {
    std::mt19937 g(5);
    std::normal_distribution<double> noise(0.0, 0.001);
    const std::string file = Save("tone_30.72MSPS.bin", 1 << 18, [&](int k) {
        return Tone(0.5, 1.875e6, k) + cd(noise(g), noise(g));
    });
    const std::vector<std::string> ask = {"measure",
                                          file,
                                          "--marker",
                                          "1.875e6",
                                          "--marker",
                                          "-3e6",
                                          "--marker-delta",
                                          "--band-power",
                                          "1.875e6:200e3",
                                          "--noise-density",
                                          "5e6",
                                          "--dbm-offset",
                                          "30"};
    std::vector<std::string> json = ask;
    json.push_back("--json");
    Result r = Run(json);
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject o = Json(r.out).object();
    const QJsonArray markers = o["markers"].toArray();
    ASSERT_EQ(markers.size(), 2);
    const QJsonObject m1 = markers[0].toObject(), m2 = markers[1].toObject();
    EXPECT_NEAR(m1["frequency_hz"].toDouble(), 1.875e6, 1.0);
    EXPECT_NEAR(m1["marker_power_db"].toDouble(), o["marker_power_db"].toDouble(), 0.01);
    EXPECT_NEAR(m1["marker_power_db"].toDouble(), -6.02, 0.05);
    EXPECT_DOUBLE_EQ(m1["level_dbm"].toDouble(), m1["level_dbfs"].toDouble() + 30);
    EXPECT_NEAR(m2["delta_hz"].toDouble(), -4.875e6, 2e3);
    const QJsonObject band = o["band_power"].toArray()[0].toObject();
    EXPECT_NEAR(band["power_db"].toDouble(), -6.02, 0.05);
    // Noise of 2e-6 (complex) over 30.72 MHz: -131.9 dB/Hz.
    const QJsonObject density = o["noise_density"].toArray()[0].toObject();
    EXPECT_NEAR(density["db_per_hz"].toDouble(), 10 * std::log10(2e-6 / kFs), 0.3);
    EXPECT_EQ(density["width_hz"].toDouble(), kFs / 100);

    r = Run(ask);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_PRED2(Contains, r.out, "M1: 1.875 MHz, ");
    EXPECT_PRED2(Contains, r.out, "M2: -3 MHz, ");
    EXPECT_PRED2(Contains, r.out, ", delta to M1 -4.875 MHz, ");
    EXPECT_PRED2(Contains, r.out, "Band power at 1.875 MHz over 200 kHz: ");
    EXPECT_PRED2(Contains, r.out, "Noise density at 5 MHz over 307.2 kHz: ");

    for (const auto& [extra, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--marker", "1", "--marker", "2", "--marker", "3", "--marker", "4", "--marker", "5"},
              "at most four markers"},
             {{"--marker", "1MHz"}, "--marker takes a frequency in Hz: '1MHz'"},
             {{"--band-power", "1e6"}, "--band-power takes F:WIDTH"},
             {{"--noise-density", "1e6:-5"}, "--noise-density takes F[:WIDTH]"}}) {
        std::vector<std::string> call = {"measure", file};
        call.insert(call.end(), extra.begin(), extra.end());
        r = Run(call);
        EXPECT_EQ(r.status, 2);
        EXPECT_PRED2(Contains, r.err, message);
    }
}

}  // namespace

namespace {

// Unshaped QPSK, a symbol a sample, in noise 30 dB down: the EVM is the noise; the same symbols
// three samples late, turned 20° and in noise 40 dB down read that against the clean ones;
// requests that cannot be measured print no figures.
TEST_F(Qrvn, ModulationAccuracyAndEvmAgainstAReference) {
    std::mt19937 g(9);
    std::uniform_int_distribution<int> bit(0, 1);
    std::vector<cd> symbols(1 << 16);
    for (cd& s : symbols)
        s = cd(bit(g) ? 0.5 : -0.5, bit(g) ? 0.5 : -0.5);
    // Noise of total power 0.5·10^(−dB/10) beside the symbols' 0.5.
    const auto noisy = [&](double db) {
        auto noise = std::make_shared<std::normal_distribution<double>>(
            0.0, std::sqrt(0.25 * std::pow(10.0, -db / 10)));
        return [noise, &g](cd v) { return v + cd((*noise)(g), (*noise)(g)); };
    };
    const auto at30 = noisy(30), at40 = noisy(40);
    const std::string capture = Save(
        "q_4MSPS.cf32", 1 << 16, [&](int k) { return at30(symbols[static_cast<size_t>(k)]); },
        kFileCf32Le);
    const std::string reference = Save(
        "ref_4MSPS.cf32", 1 << 16, [&](int k) { return symbols[static_cast<size_t>(k)]; },
        kFileCf32Le);
    const std::string late = Save(
        "late_4MSPS.cf32", 1 << 16,
        [&](int k) {
            return at40(symbols[static_cast<size_t>((k + (1 << 16) - 3) % (1 << 16))] *
                        std::polar(1.0, 20 * std::numbers::pi / 180));
        },
        kFileCf32Le);
    Result r = Run({"measure", capture, "--modulation", "qpsk", "--symbol-rate", "4e6", "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject m = Json(r.out).object()["modulation"].toObject();
    EXPECT_EQ(m["modulation"].toString(), "QPSK");
    EXPECT_NEAR(m["evm_rms_db"].toDouble(), -30, 0.2);
    EXPECT_NEAR(m["mer_db"].toDouble(), 30, 0.2);
    EXPECT_GT(m["symbols"].toDouble(), 65000);
    EXPECT_NEAR(m["timing_offset_symbols"].toDouble(), 0, 0.01);

    r = Run({"measure", late, "--evm-reference", reference, "--json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QJsonObject e = Json(r.out).object()["evm_reference"].toObject();
    EXPECT_NEAR(e["evm_rms_db"].toDouble(), -40, 0.2);
    EXPECT_NEAR(e["delay_samples"].toDouble(), 3, 1e-3);
    EXPECT_NEAR(e["phase_offset_deg"].toDouble(), 20, 0.05);
    r = Run({"measure", late, "--evm-reference", reference});
    EXPECT_PRED2(Contains, r.out, "\nReference Delay: 3.0000 samples (7.5");

    for (const auto& [extra, message] :
         std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--modulation", "qam32", "--symbol-rate", "1e6"}, "--modulation takes bpsk"},
             {{"--modulation", "qpsk"}, "--modulation needs --symbol-rate"},
             {{"--symbol-rate", "1e6"}, "go with --modulation"},
             {{"--modulation", "qpsk", "--symbol-rate", "5e6"}, "at most the sample rate"},
             {{"--modulation", "qpsk", "--symbol-rate", "1e6", "--rrc", "1.5"}, "--rrc takes"},
             {{"--evm-reference", "/nonexistent.cf32"}, "nonexistent"}}) {
        std::vector<std::string> call = {"measure", capture};
        call.insert(call.end(), extra.begin(), extra.end());
        r = Run(call);
        EXPECT_EQ(r.status, 2) << message;
        EXPECT_PRED2(Contains, r.err, message);
        EXPECT_EQ(r.out, "");
    }
}

}  // namespace
