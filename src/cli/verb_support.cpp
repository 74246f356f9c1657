#include "cli/verb_support.h"

#include <unistd.h>

#include <cmath>
#include <cstring>
#include <iostream>
#include <optional>
#include <sstream>

#include "cli/commands.h"
#include "waveform/capture_source.h"
#include "waveform/file_messages.h"
#include "waveform/sample_rate_name.h"
#include "waveform/sigmf.h"
#include "waveform/wav_file.h"

const char* const kLoadHelp =
    "  --type ID       file type (400-414, 418-429; default: 420 for .cf32, .fc32 and\n"
    "                  .cfile, 421 for .cs8, 422 for .cu8, 407 for .cs16 and .sc16, 428\n"
    "                  for .cf64 and .fc64, 429 for .ci32 and .cs32, else 405); a SigMF\n"
    "                  recording (either file) is read as its metadata says\n"
    "  --rate HZ       sample rate (default: the recording's metadata, else the name's:\n"
    "                  30.72MSPS, gqrx_DATE_TIME_FREQ_RATE_fc, 2.4Msps, s11.52e6, or\n"
    "                  250k; of two like 433.92M_250k the second)\n"
    "  --range S:L     read only L samples from sample S (or seconds, with an s suffix on\n"
    "                  both: 12.5s:0.25s), from a binary file of any size\n"
    "  --channel N     the channel of a multi-channel SigMF recording (from 0; default 0)\n";

const std::vector<OptionSpec> kLoadOptions = {{"--type", true, false},  {"--rate", true, false},
                                              {"--help", false, false}, {"--json", false, false},
                                              {"--range", true, false}, {"--channel", true, false}};

std::vector<OptionSpec> Join(std::vector<OptionSpec> a, const std::vector<OptionSpec>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

[[noreturn]] void Fail(const std::string& message) { throw UsageError{message}; }

std::string Printable(const std::string& path) {
    std::string s;
    for (unsigned char c : path) {
        switch (c) {
            case '\\': s += "\\\\"; break;
            case '\n': s += "\\n"; break;
            case '\r': s += "\\r"; break;
            case '\t': s += "\\t"; break;
            default:
                if (c < 0x20 || c == 0x7f) {
                    static constexpr char kHex[] = "0123456789abcdef";
                    s += "\\x";
                    s += kHex[c >> 4];
                    s += kHex[c & 0xF];
                } else {
                    s += static_cast<char>(c);
                }
        }
    }
    return s;
}

std::pair<int64_t, int64_t> RangeOrFail(const std::string& range, double rate) {
    const size_t colon = range.find(':');
    const auto start =
        colon == std::string::npos ? std::nullopt : SamplesFromText(range.substr(0, colon), rate);
    const auto count =
        colon == std::string::npos ? std::nullopt : SamplesFromText(range.substr(colon + 1), rate);
    if (!start || !count)
        Fail("--range takes START:LEN in samples, or in seconds with an s suffix (12.5s:0.25s)");
    return {*start, *count};
}

int64_t CaptureRateOf(const cCaptureSource& capture, const std::optional<double>& rate) {
    if (rate) return static_cast<int64_t>(std::llround(*rate));
    return capture.NamedSampleRate() > 0 ? capture.NamedSampleRate() : kDefaultSampleRateHz;
}

namespace {

// Loads the samples of --range START:LEN of a binary capture of any size, reading only them.
void LoadRangeOrFail(const std::string& path, const std::string& range,
                     const std::optional<double>& rate, int64_t channel, cWaveform& w) {
    cCaptureSource capture;
    if (const std::string why = capture.Open(path, w.fileType, channel); !why.empty())
        Fail("cannot read a range of " + Printable(path) + ": " + Printable(why));
    const auto [start, count] =
        RangeOrFail(range, static_cast<double>(CaptureRateOf(capture, rate)));
    std::string why;
    if (w.LoadRange(capture, start, count, &why) != 0)
        Fail("--range " + range + " of " + Printable(path) + ": " + why);
}

}  // namespace

int FileTypeOrFail(const std::string& path, const ParsedArguments& a) {
    // The extension names the type of a raw capture unless --type says otherwise.
    const int named = FileTypeForExtension(path);
    int type = named != 0 ? named : kDefaultFileType;
    if (a.Has("--type") && IsSigmfRecordingPath(path))
        Fail("--type does not apply to " + Printable(path) +
             ": a SigMF recording is read as its metadata says");
    if (a.Has("--type") && IsWavPath(path))
        Fail("--type does not apply to " + Printable(path) +
             ": a WAV file is read as its header says");
    if (a.Has("--type")) {
        const auto t = ParseInt32(a.Get("--type"));
        if (!t || !IsReadableFileType(*t)) Fail("unknown file type '" + a.Get("--type") + "'");
        type = *t;
    }
    return type;
}

int64_t ChannelOrFail(const std::string& path, const ParsedArguments& a) {
    if (!a.Has("--channel")) return 0;
    if (!IsSigmfRecordingPath(path))
        Fail(
            "--channel applies to SigMF recordings, whose metadata says how many channels "
            "interleave; " +
            Printable(path) + " is not one");
    const auto c = ParseInt32(a.Get("--channel"));
    if (!c || *c < 0) Fail("invalid channel '" + a.Get("--channel") + "' (channels count from 0)");
    return *c;
}

std::optional<double> RateOrFail(const ParsedArguments& a) {
    std::optional<double> rate;
    if (a.Has("--rate")) {
        rate = ParseNumber(a.Get("--rate"));
        if (!rate || !(*rate >= 1.0) || *rate > 9e18)
            Fail("invalid sample rate '" + a.Get("--rate") + "'");
    }
    return rate;
}

void LoadOrFail(const std::string& path, const ParsedArguments& a, Loaded& out, std::ostream& err) {
    const int type = FileTypeOrFail(path, a);
    const std::optional<double> rate = RateOrFail(a);
    out.wave.fileType = type;
    out.wave.recordingChannel = ChannelOrFail(path, a);
    if (a.Has("--range")) {
        LoadRangeOrFail(path, a.Get("--range"), rate, out.wave.recordingChannel, out.wave);
    } else if (out.wave.LoadFile(path, false) != 0) {
        const std::string name = Printable(path);
        switch (out.wave.loadFailure) {
            case LoadFailure::NotRegularFile: Fail(name + " is not a regular file");
            case LoadFailure::Empty: Fail(name + " is empty");
            case LoadFailure::NoSamples:
                Fail("no samples in " + name + " as file type " + std::to_string(type) +
                     (type <= kFileAsciiHex16 ? " (text types need one sample per line)" : ""));
            case LoadFailure::BadRecording:
                Fail("cannot read the recording " + name + ": " + Printable(out.wave.LoadDetail()));
            default: Fail("cannot open " + name + ": " + LoadFailureText(out.wave));
        }
    }
    std::string notes = LoadNotes(out.wave);
    if (const std::string doubt = DecodeDoubt(out.wave); !doubt.empty())
        notes += (notes.empty() ? "" : "; ") + doubt + ": give its type with --type";
    if (!notes.empty()) err << "qrvn: " << Printable(path) << ": " << notes << "\n";
    if (rate) {
        out.wave.sampleRate = static_cast<int64_t>(std::llround(*rate));
        out.rateSource = "option";
    } else if (const auto given = out.wave.recording.sampleRateHz) {
        out.rateSource = *given < 999.5 ? "fallback" : "metadata";
    } else {
        // A rate below 1 kHz in the name is replaced by the reader's fallback.
        const NamedCapture named = CaptureFromName(path);
        out.rateSource = named.rateHz >= 1000 ? "name" : named.rateHz > 0 ? "fallback" : "default";
        if (out.rateSource == "name") out.rateRule = named.rule;
    }
}

int RunVerb(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
            const std::string& help, Verb verb, std::ostream& out, std::ostream& err, Notes notes) {
    std::string error;
    const auto parsed = ParseArguments(args, specs, error);
    if (!parsed) {
        err << "qrvn: " << error << "\n";
        return kExitUsage;
    }
    if (parsed->Has("--help")) {
        out << help;
        return kExitOk;
    }
    // Notes held back go out only when the verb gets through: a failure is one line.
    std::ostringstream held;
    std::ostream& noteStream = notes == Notes::AfterSuccess ? held : err;
    try {
        const int status = verb(*parsed, out, noteStream);
        err << held.str();
        return status;
    } catch (const UsageError& e) {
        err << "qrvn: " << e.message << "\n";
        return kExitUsage;
    }
}

ProgressLine::ProgressLine(std::string what) : what_(std::move(what)), shown_(::isatty(2) == 1) {}

ProgressLine::~ProgressLine() {
    if (shown_ && last_ >= 0) std::cerr << "\r\033[K" << std::flush;
}

void ProgressLine::operator()(int percent) {
    if (!shown_ || percent == last_) return;
    last_ = percent;
    std::cerr << "\rqrvn: " << what_ << ": " << percent << " %" << std::flush;
}

WindowType WindowOrFail(const std::string& v) {
    if (v == "rect") return kWindowRect;
    if (v == "hann") return kWindowHann;
    if (v == "blackman-harris") return kWindowBlackmanHarris;
    if (v == "bartlett") return kWindowBartlett;
    Fail("unknown window '" + v + "'");
}

std::string NpyFloat32(int64_t rows, int64_t columns, const float* values) {
    // The magic, the header's length, a dictionary padded with spaces to a multiple of 64 bytes
    // ending in a line feed, then the values.
    std::string dict = "{'descr': '<f4', 'fortran_order': False, 'shape': (" +
                       std::to_string(rows) + ", " + std::to_string(columns) + "), }";
    const size_t unpadded = 10 + dict.size() + 1;
    dict.append((64 - unpadded % 64) % 64, ' ');
    dict += '\n';
    std::string out = "\x93NUMPY";
    out += '\x01';
    out += '\x00';
    out += static_cast<char>(dict.size() & 0xFF);
    out += static_cast<char>(dict.size() >> 8);
    out += dict;
    // The host is little-endian, as every platform this program builds for.
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(rows * columns) * 4);
    std::memcpy(out.data() + at, values, static_cast<size_t>(rows * columns) * 4);
    return out;
}
