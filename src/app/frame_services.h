#pragma once
// What a group of the window's commands may use of the frame: the main waveform, the view,
// the prompter, status texts, the recompute, view selection and check marks, and the command
// table it registers in. A group that sees only this cannot reach into the frame's other parts
// (files, undo, workers, the command channel), and the frame does not call back into it.

#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>

class CView;
class IPrompter;
class cWaveform;

// How a command stands to running work: a display command only changes what is shown (it runs
// while play-through or monitoring runs and leaves the FIR designer open); a command allowed
// while busy may run while a tool or a load runs.
struct CommandTraits {
    bool display = false;
    bool whileBusy = false;
};
inline constexpr CommandTraits kDisplayCommand{.display = true};
inline constexpr CommandTraits kAnyTimeCommand{.display = true, .whileBusy = true};

// A command's handler: the command id and the value it carries (setters, other programs).
// Returns 1 when handled, or a query's answer.
using CommandHandler = std::function<int(int id, int64_t value)>;

class IFrameServices {
public:
    virtual ~IFrameServices() = default;
    virtual cWaveform& MainWaveform() = 0;
    virtual CView& View() = 0;
    virtual IPrompter& Prompter() = 0;
    virtual void SetStatusText(const std::string& text) = 0;
    // The spectrum recompute and what follows it (off the GUI thread for long waveforms).
    virtual void RecomputeNow() = 0;
    virtual void SelectViewType(int kind) = 0;
    virtual void CheckMenuItem(int id, bool checked) = 0;
    // True while a tool or a long load runs; the stop request a long loop polls.
    virtual bool Busy() const = 0;
    virtual std::atomic<bool>& StopRequest() = 0;
    // The FFT size setting changed (a running worker takes it up).
    virtual void FftSizeChanged(int size) = 0;
    virtual void AddCommand(std::initializer_list<int> ids, const CommandHandler& handler,
                            CommandTraits traits = {}) = 0;
};

// The groups that see only the services.
void RegisterAxisCommands(IFrameServices& frame);
void RegisterMeasureCommands(IFrameServices& frame);
void RegisterViewCommands(IFrameServices& frame);
// Switches the view kind (menu commands 300-314, 40014, and clicks in the view), with its
// check marks and status text; the vector kind runs its animation here.
void SelectView(IFrameServices& frame, int kind);
