#pragma once
// What every verb of qrvn shares: one-line usage errors, loading a waveform with --type and
// --rate, paths printed as one line, and the frame a verb runs in (parse, --help, errors).

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "cli/arguments.h"
#include "dsp/window.h"
#include "waveform/waveform.h"

// Thrown inside a verb for a one-line error with exit status 2; caught at the verb's edge.
struct UsageError {
    std::string message;
};

[[noreturn]] void Fail(const std::string& message);

// A path as one line of text: control characters and backslashes escaped, so a newline in a
// file name can neither split a message nor pass for another line of output.
std::string Printable(const std::string& path);

extern const char* const kLoadHelp;
// --type, --rate, --help, --json and --range.
extern const std::vector<OptionSpec> kLoadOptions;

std::vector<OptionSpec> Join(std::vector<OptionSpec> a, const std::vector<OptionSpec>& b);

struct Loaded {
    cWaveform wave;
    std::string rateSource;  // "option", "metadata", "name", "fallback" or "default"
    std::string rateRule;    // which rule of the name gave the rate (CaptureFromName)
};

// The file type path is read in: --type, else the extension's, else 405; fails on a bad --type
// or --type given for a SigMF recording.
int FileTypeOrFail(const std::string& path, const ParsedArguments& a);
// The channel of a multi-channel recording --channel names (0 without it); fails on a bad
// --channel or one given for a file that is no SigMF recording.
int64_t ChannelOrFail(const std::string& path, const ParsedArguments& a);
// The rate of --rate, if given; fails when it is not a rate.
std::optional<double> RateOrFail(const ParsedArguments& a);

// START:LEN of --range in samples, or seconds with an s suffix at rate; fails when it is
// neither. The numbers are not checked against any file.
std::pair<int64_t, int64_t> RangeOrFail(const std::string& range, double rate);
// The analysis window named rect, hann, blackman-harris or bartlett; fails on any other name.
WindowType WindowOrFail(const std::string& name);

// A version 1.0 .npy file holding a rows × columns matrix of little-endian float32, C order.
std::string NpyFloat32(int64_t rows, int64_t columns, const float* values);

class cCaptureSource;
// The rate a capture is read at: --rate's, else its metadata's or name's, else the default.
int64_t CaptureRateOf(const cCaptureSource& capture, const std::optional<double>& rate);

// Loads path in the file type of --type (default 405) with the rate of --rate (default: the
// name's); fails with one line when either option is invalid or nothing can be read. Notes
// about the load (lines that were not numbers, bytes not read) go to err.
void LoadOrFail(const std::string& path, const ParsedArguments& a, Loaded& out, std::ostream& err);

// A verb writes its results to out and notes about its input to the third stream.
using Verb = int (*)(const ParsedArguments&, std::ostream&, std::ostream&);

enum class Notes {
    AfterSuccess,  // held back, so a failure is one line
    AsTheyCome     // straight to err (progress of long work)
};

// Parses args against specs, answers --help with help, runs verb and turns a UsageError into
// one line on err and exit status 2.
int RunVerb(const std::vector<std::string>& args, const std::vector<OptionSpec>& specs,
            const std::string& help, Verb verb, std::ostream& out, std::ostream& err,
            Notes notes = Notes::AfterSuccess);

// Progress of a long pass as one line rewritten on stderr, only when stderr is a terminal (a
// script's log gets no carriage returns); cleared when the pass ends.
class ProgressLine {
public:
    explicit ProgressLine(std::string what);
    ~ProgressLine();
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;
    void operator()(int percent);

private:
    std::string what_;
    bool shown_;
    int last_ = -1;
};
