// FIR filtering with taps read from a file (command 40058): the file, the checks of
// its taps and the texts around CircularFir (fir_ops.h).

#include <string>
#include <vector>

#include "tools/fir_ops.h"
#include "tools/tool_checks.h"
#include "tools/tool_groups.h"
#include "waveform/waveform.h"

namespace {

// Tap counts the filter takes: 3 to 499. Exactly 500 is refused as too many as well, rather
// than leaving the waveform unfiltered without a word.
constexpr size_t kMinTaps = 3, kMaxTaps = 499;

const PromptSpec kTapFile{.name = "file",
                          .type = PromptType::File,
                          .prompt = "Open FIR Filter file definition",
                          .unit = "path"};

class FirFile : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        std::string why;
        const int code = ReadTapFile(ctx, kTapFile, ctx.fileType, taps_, why);
        if (code == kErrCancelled) return code;
        if (code == kErrLoadFailed) {
            ctx.Status("ERR: FIR tap file could not be read: " + why);
            return code;
        }
        // Every tap zero: normalising would divide by nothing and filter the waveform to silence.
        if (code != kToolOk) return Refuse(ctx, "ERR: FIR tap file holds only zero taps", code);
        if (taps_.size() < kMinTaps)
            return Refuse(ctx, "Too few taps to filter with", kErrLengthOrCount);
        if (taps_.size() > kMaxTaps)
            return Refuse(ctx, "Too many taps to filter with", kErrLengthOrCount);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return CircularFir(w, taps_, ctx) ? kToolOk : kErrStopped;
    }

private:
    std::vector<float> taps_;
};

const ToolRow kFirFileRow{
    .id = kToolFirFile,
    .name = "fir-file",
    .summary =
        "circular FIR filter with 3 to 499 taps read from a file (the I values, "
        "normalised to a largest tap of 0.5)",
    .successText = "Waveform filtered",
    .prompts = {kTapFile},
    .menu = {.popup = "Filter", .label = "&FIR Filter using external tap file", .rank = 60},
    .make = Make<FirFile>(),
};

}  // namespace

void RegisterFirFileTools(std::vector<ToolRow>& tools) { tools.insert(tools.end(), {kFirFileRow}); }
