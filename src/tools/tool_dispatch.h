#pragma once
// Runs one tool the same way wherever it is started: ask and check, progress text, undo
// copy, the operation, success or failure text, back to time samples. The caller adds what
// belongs to its surroundings (timing, the mode indicator, the recompute and redraw).

#include <functional>

#include "tools/tool.h"

class cWaveform;

struct ToolHost {
    // Runs work (the operation and the steps around it) and returns its result. The window
    // runs it on a worker thread while its event loop turns; without it, it runs at once.
    std::function<int(const std::function<int()>& work)> run;
    // Called inside work, before the operation: keep a copy of the waveform as it is.
    std::function<void(const cWaveform& before)> prepareUndo;
    // After work: keep that copy as the undo copy (the waveform changed) or drop it.
    std::function<void(bool keep)> finishUndo;
};

// Returns 0, or the failure code of the check or operation that ended the tool. A stopped
// operation (kErrStopped) leaves the waveform as it was and says so; one that set
// ctx.keptPartial keeps its changes and the undo copy, and says that instead.
int RunTool(const ToolRow& info, ToolContext& ctx, cWaveform& wave, const ToolHost& host);
