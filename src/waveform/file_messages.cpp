#include "waveform/file_messages.h"

#include <cmath>
#include <cstring>

#include "waveform/number_format.h"

namespace {
std::string Reason(int error, const char* fallback) {
    return error != 0 ? std::string(std::strerror(error)) : std::string(fallback);
}
}  // namespace

std::string GroupThousands(int64_t n) {
    const std::string digits = std::to_string(n < 0 ? -n : n);
    std::string s;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) s += ',';
        s += digits[i];
    }
    return n < 0 ? "-" + s : s;
}

std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LoadFailureText(const cWaveform& w) {
    switch (w.loadFailure) {
        case LoadFailure::None: return "";
        case LoadFailure::CannotOpen: return Reason(w.LoadErrno(), "cannot open");
        case LoadFailure::NotRegularFile: return "not a regular file";
        case LoadFailure::Empty: return "empty file";
        case LoadFailure::ReadFailed: return Reason(w.LoadErrno(), "read failed");
        case LoadFailure::NoSamples: return "no samples as file type " + std::to_string(w.fileType);
        case LoadFailure::BadRecording: return w.LoadDetail();
    }
    return "";
}

std::string LoadNotes(const cWaveform& w) {
    std::string notes;
    const auto add = [&notes](const std::string& note) {
        notes += (notes.empty() ? "" : "; ") + note;
    };
    if (w.source.IsRange() && w.source.ReadInPart())
        add("Read samples " + GroupThousands(w.source.firstSample) + " to " +
            GroupThousands(w.source.firstSample + w.sampleCount - 1) + " of " +
            GroupThousands(w.source.fileSamples));
    else if (w.source.ReadInPart())
        add("Read the first " + GroupThousands(w.source.bytesRead) + " of " +
            GroupThousands(w.source.fileBytes) + " bytes");
    // Only a data file read to its end can be said to be short.
    else if (w.recording.describedSamples > w.sampleCount)
        add("The data file holds " + GroupThousands(w.sampleCount) + " of the " +
            GroupThousands(w.recording.describedSamples) + " samples the metadata describes");
    if (w.unparsedLines > 0)
        add(w.unparsedLines == 1 ? std::string("1 line was not a number")
                                 : GroupThousands(w.unparsedLines) + " lines were not numbers");
    if (w.nonFiniteValues > 0)
        add(w.nonFiniteValues == 1
                ? std::string("1 value was NaN or infinite and was read as 0")
                : GroupThousands(w.nonFiniteValues) + " values were NaN or infinite and read as 0");
    return notes;
}

std::string DecodeDoubt(const cWaveform& w) {
    std::string why;
    if (w.nonFiniteValues > 0)
        why = "values that are not numbers";
    else if (w.unparsedLines > w.sampleCount)
        why = "most lines are not numbers";
    else {
        constexpr float kFarAboveFullScale = 1e4f;  // 80 dB
        for (int k = 0; k < w.sampleCount && why.empty(); ++k)
            if (std::fabs(w.I[k]) > kFarAboveFullScale || std::fabs(w.Q[k]) > kFarAboveFullScale)
                why = "samples far above full scale";
    }
    return why.empty()
               ? ""
               : "The file may not be of type " + std::to_string(w.fileType) + " (" + why + ")";
}

std::string CentreFrequencyText(double hz) {
    const double a = std::fabs(hz);
    if (a >= 1e9) return General(hz / 1e9, 10) + " GHz";
    if (a >= 1e6) return General(hz / 1e6, 10) + " MHz";
    if (a >= 1e3) return General(hz / 1e3, 10) + " kHz";
    return General(hz, 10) + " Hz";
}

std::string SaveFailureText(SaveFailure why, int error, const std::string& path,
                            const SourceFile& source) {
    switch (why) {
        case SaveFailure::None: return "";
        case SaveFailure::CannotCreate:
            return "cannot create " + path + ": " + Reason(error, "no permission");
        case SaveFailure::WriteFailed:
            return "writing " + path + " failed (" + Reason(error, "write error") +
                   "); nothing was replaced";
        case SaveFailure::WriteFailedInPlace:
            return "rewriting " + path + " in place failed (" + Reason(error, "write error") +
                   "); the file is incomplete";
        case SaveFailure::NoEncoder: return "this file type cannot be written";
        case SaveFailure::RateBeyondWav:
            return "a WAV file holds sample rates up to 2,147,483,647 Hz; save it in another type";
        case SaveFailure::NoSpectrumBuffer:
            return "file type 40112 needs a spectrum, which this waveform does not have";
        case SaveFailure::NotRegularFile:
            return path + " is not a regular file; it was left as it is";
        case SaveFailure::DanglingLink:
            return path + " is a symbolic link to a file that does not exist; it was left as it is";
        case SaveFailure::NotWritable:
            return path + " is write-protected (" + Reason(error, "Permission denied") +
                   "); it was left as it is";
        case SaveFailure::WouldCutSource:
            if (source.IsRange())
                return "only a range of the " + GroupThousands(source.fileSamples) +
                       " samples of " + path +
                       " was read, so saving over it would lose the rest; save under another name";
            return "only the first " + GroupThousands(source.bytesRead) + " of the " +
                   GroupThousands(source.fileBytes) + " bytes of " + path +
                   " were read, so saving over it would lose the rest; save under another name";
    }
    return "";
}
