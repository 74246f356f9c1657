#include "tools/second_file.h"

#include <sys/stat.h>

#include <string>

#include "waveform/sigmf.h"
#include "waveform/waveform.h"

int LoadSecondWaveform(ToolContext& ctx, const PromptSpec& question, int fileType,
                       int64_t sampleRateHz, cWaveform& out) {
    const std::string path = ctx.input->FileName(question, question.prompt);
    if (path.empty()) return kErrCancelled;
    out.fileType = fileType;
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
    return kToolOk;
}
