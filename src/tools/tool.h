#pragma once
// An editing tool as one small unit: what it asks (prompt specs), how it checks the answers
// (Ask), and the operation (Apply), with the context both run in. The window, qrvn edit and
// the tests run the same tools through different contexts: dialogs, a step's key=value pairs,
// scripted answers.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "dsp/work_control.h"
#include "tools/failure_codes.h"
#include "tools/tool_ids.h"
#include "waveform/file_types.h"

class cWaveform;

enum class PromptType { Float, Double, Int, Text, File };

// One value a tool asks for, in the order it asks. Written with named fields.
struct PromptSpec {
    const char* name = "";  // qrvn edit's key: the remembered key when there is one
    PromptType type = PromptType::Float;
    const char* prompt = "";  // the question the dialog shows
    const char* note = "";
    const char* key = "";          // where the window remembers the answer; "" never
    const char* unit = "";         // "MHz", "dBFS", "degrees", "samples", ... or ""
    double min = 0, max = 0;       // the range the tool accepts (its own check decides)
    double defaultValue = 0;       // the default the tool passes, unless defaultText says otherwise
    const char* defaultText = "";  // a text default, or how a computed default is found; "" none
};

// Where the answers come from: the prompt dialogs, a qrvn edit step, a test's script.
class IToolInput {
public:
    virtual ~IToolInput() = default;
    // Each returns the answer to question, offered def; cancelling gives what the dialog gives
    // (1e36, 2147483647, "").
    virtual float Float(const PromptSpec& question, float def) = 0;
    virtual double Double(const PromptSpec& question, double def) = 0;
    virtual int Int(const PromptSpec& question, int def) = 0;
    virtual std::string Text(const PromptSpec& question, const std::string& def) = 0;
    // The path of a second waveform file chosen under a dialog title; "" when cancelled.
    virtual std::string FileName(const PromptSpec& question, const std::string& title) = 0;

    // Set by an implementation when the user cancelled a question (cleared by the dispatcher
    // before Ask): the tool then ends with "Cancelled", whatever it would say of the answer.
    bool cancelled = false;
};

// What the view shows, for tools that act on the span of a time trace.
struct ToolViewState {
    // The time trace shown: I, Q or both (the I, Q and IQ views), another one (LogMag,
    // phase), or none (not a time view).
    enum class Trace { None, I, Q, IQ, Other };
    Trace timeTrace = Trace::None;
    int64_t zoomFirst = 0, zoomLast = 0;  // first and last sample shown (time views)
};

// Everything a tool may use besides the waveform. Thread rules: Ask runs on the caller's
// thread (the GUI thread in the window); Apply may run on another, and there only status,
// progress, stop and the results are used.
struct ToolContext : WorkControl {
    IToolInput* input = nullptr;
    // A status-bar text. Safe from any thread.
    std::function<void(const std::string&)> status;
    // A message box (title, text); Ask only.
    std::function<void(const std::string&, const std::string&)> notice;
    ToolViewState view;
    // The seed random tools start from; negative, so the generator restarts.
    std::function<int32_t()> seed;
    // File type the window reads files in (second files are read in it).
    int fileType = kFileBin16BeTwos;
    // Runs work that reads a file of the given size and returns its result; the window runs a
    // large read on a worker so it stays live while Ask reads a second file. Unset: in place.
    std::function<int(int64_t bytes, const std::function<int()>& work)> readAside;

    // Set by Apply: replaces the tool's success text (results that only the run knows).
    std::string resultText;
    // Set by Ask when it read a second file: which, and as what type; the closing text of a
    // successful run ends with it in parentheses.
    std::string secondFileNote;
    // Message boxes Apply asks for (title, text); the dispatcher shows them through notice
    // once the operation has ended, on the caller's thread.
    std::vector<std::pair<std::string, std::string>> pendingNotices;
    // Numbers a run found (qrvn edit --json prints them), by name.
    std::vector<std::pair<std::string, double>> results;
    // Set by Apply when it ends early (stopped or failed) but keeps changes it made on purpose,
    // such as the passes of an iterative tool done so far: the undo copy is kept then, and a
    // stop says what is left.
    bool keptPartial = false;

    void PostNotice(const std::string& title, const std::string& text) {
        pendingNotices.emplace_back(title, text);
    }
    void Status(const std::string& text) const {
        if (status) status(text);
    }
    int ReadAside(int64_t bytes, const std::function<int()>& work) const {
        return readAside ? readAside(bytes, work) : work();
    }
};

class cTool {
public:
    virtual ~cTool() = default;
    // Asks the parameters in order through ctx.input and checks each at once; a rejected one
    // shows the tool's text (if it has one) and returns its failure code. Reads the waveform
    // (length, rate) but never changes it. 0 when the tool may run.
    virtual int Ask(ToolContext& ctx, const cWaveform& wave) = 0;
    // The operation. Builds its result aside and exchanges it in at the end, so a stop request
    // (return kErrStopped) or a failure leaves the waveform as it was, unless it sets
    // ctx.keptPartial. 0 on success.
    virtual int Apply(ToolContext& ctx, cWaveform& wave) = 0;
};

// Where a tool's entry stands in the Tools menu: in the submenu named popup (its text without
// "&"; "" for the Tools menu itself), with its label (an ellipsis is added for a tool that
// asks for values or a file), sorted by rank among the entries of that menu.
struct ToolMenuPlace {
    const char* popup = "";
    const char* label = "";
    int rank = 0;
};

// One tool: what it is called, says and asks, where its menu entry stands, and how to make it.
// Each stands beside its class.
struct ToolRow {
    int id = 0;
    const char* name = "";          // qrvn edit's step name
    const char* summary = "";       // one line for qrvn edit --list
    const char* progressText = "";  // shown when the checks have passed; "" none
    const char* successText = "";
    const char* failureText = "";  // when Apply fails; "" none
    std::vector<PromptSpec> prompts = {};
    ToolMenuPlace menu;
    std::function<std::unique_ptr<cTool>()> make = {};
};

// Every tool of the program.
const std::vector<ToolRow>& AllTools();
// The tool of a command id or a step name, or nullptr.
const ToolRow* FindTool(int id);
const ToolRow* FindTool(const std::string& name);

// Makes a row's factory for a tool class.
template <class T>
std::function<std::unique_ptr<cTool>()> Make() {
    return [] { return std::make_unique<T>(); };
}

// True when v is a number within [lo, hi] (NaN is not).
inline bool InRange(double v, double lo, double hi) { return v >= lo && v <= hi; }
