#include "tools/second_file.h"

#include <string>

#include "waveform/waveform.h"

int LoadSecondWaveform(ToolContext& ctx, const PromptSpec& question, int fileType,
                       int64_t sampleRateHz, cWaveform& out) {
    const std::string path = ctx.input->FileName(question, question.prompt);
    if (path.empty()) return kErrCancelled;
    out.fileType = fileType;
    out.sampleRate = sampleRateHz;
    // Not the Open command's keep-on-failure mode: that leaves one zero sample on a failure,
    // which a tool would then take for the file's contents.
    if (out.LoadFile(path, false) != 0 || out.sampleCount < 1) {
        if (out.loadFailure == LoadFailure::None) out.loadFailure = LoadFailure::NoSamples;
        out.Clear();
        return kErrLoadFailed;
    }
    return kToolOk;
}
