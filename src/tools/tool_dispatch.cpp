#include "tools/tool_dispatch.h"

#include "waveform/waveform.h"

int RunTool(const ToolRow& info, ToolContext& ctx, cWaveform& wave, const ToolHost& host) {
    const std::unique_ptr<cTool> tool = info.make();
    ctx.secondFileNote.clear();
    // A cancelled question ends the tool quietly: what the tool says of the cancel value (it
    // reads as out of range) is not shown.
    if (ctx.input) ctx.input->cancelled = false;
    const auto status = ctx.status;
    ctx.status = [&ctx, &status](const std::string& text) {
        if (status && !(ctx.input && ctx.input->cancelled)) status(text);
    };
    int code = tool->Ask(ctx, wave);
    ctx.status = status;
    if (code != kToolOk) {
        if (ctx.input && ctx.input->cancelled) {
            ctx.Status("Cancelled");
            return kErrCancelled;
        }
        return code;
    }
    if (*info.progressText) ctx.Status(info.progressText);
    ctx.resultText.clear();
    ctx.results.clear();
    ctx.pendingNotices.clear();
    ctx.keptPartial = false;
    const std::function<int()> work = [&] {
        if (host.prepareUndo) host.prepareUndo(wave);
        const int result = tool->Apply(ctx, wave);
        // Tools that work on the spectrum leave it current; the samples are the truth again.
        wave.EnsureTimeDomain(true);
        return result;
    };
    code = host.run ? host.run(work) : work();
    if (host.finishUndo) host.finishUndo(code == kToolOk || ctx.keptPartial);
    if (code == kToolOk) {
        // A few tools end silently; an empty text would only blank the status bar.
        std::string text = ctx.resultText.empty() ? info.successText : ctx.resultText;
        // A tool that ends silently stays silent.
        if (!ctx.secondFileNote.empty() && !text.empty()) text += " (" + ctx.secondFileNote + ")";
        if (!text.empty()) ctx.Status(text);
    } else if (code == kErrStopped) {
        ctx.Status(ctx.keptPartial ? "Stopped: the changes made so far are kept"
                                   : "Stopped: the waveform is as it was");
    } else if (*info.failureText) {
        ctx.Status(info.failureText);
    }
    for (const auto& [title, text] : ctx.pendingNotices)
        if (ctx.notice) ctx.notice(title, text);
    return code;
}
