#include "tools/second_file.h"

#include <sys/stat.h>

#include <string>

#include "waveform/file_messages.h"
#include "waveform/sigmf.h"
#include "waveform/waveform.h"

int LoadSecondWaveform(ToolContext& ctx, const PromptSpec& question, int fileType,
                       int64_t sampleRateHz, cWaveform& out) {
    const std::string path = ctx.input->FileName(question, question.prompt);
    if (path.empty()) return kErrCancelled;
    // Read as Open reads it: a capture's extension (or a recording's metadata, in LoadFile)
    // names its type; only a headerless name takes the type given. A marker file is always one.
    const int named = fileType == kFileMarker ? 0 : FileTypeForExtension(path);
    out.fileType = named != 0 ? named : fileType;
    out.sampleRate = sampleRateHz;
    // Not the Open command's keep-on-failure mode: that leaves one zero sample on a failure,
    // which a tool would then take for the file's contents.
    struct stat st {};
    const std::string data = IsSigmfPath(path) ? SigmfDataPath(path) : path;
    const int64_t bytes = stat(data.c_str(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    if (ctx.ReadAside(bytes, [&] { return out.LoadFile(path, false); }) != 0 ||
        out.sampleCount < 1) {
        if (out.loadFailure == LoadFailure::None) out.loadFailure = LoadFailure::NoSamples;
        out.Clear();
        return kErrLoadFailed;
    }
    const size_t slash = path.rfind('/');
    ctx.secondFileNote = path.substr(slash == std::string::npos ? 0 : slash + 1) + " read as " +
                         FileTypeLabel(out.fileType);
    if (const std::string notes = LoadNotes(out); !notes.empty())
        ctx.secondFileNote += "; " + notes;
    return kToolOk;
}
