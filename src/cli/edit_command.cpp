// qrvn edit: the editing tools run headless, one step after another, through the dispatcher
// the window uses. Answers come from each step's key=value pairs or the tool's defaults, never
// from the window's remembered answers, so a script gives the same result on every machine.

#include <algorithm>
#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <functional>
#include <iomanip>
#include <memory>
#include <optional>
#include <sstream>

#include "cli/commands.h"
#include "cli/verb_support.h"
#include "display/json_writer.h"
#include "tools/tool_dispatch.h"
#include "tools/tool_step.h"
#include "waveform/file_messages.h"
#include "waveform/waveform_writer.h"

namespace {

constexpr int32_t kMaxSeed = 2147483646;  // the generator's modulus less one

// Shortest text that reads back as the same number, in the C locale.
std::string NumberText(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

bool IsNumberPrompt(const PromptSpec& p) {
    return p.type == PromptType::Float || p.type == PromptType::Double || p.type == PromptType::Int;
}

std::string DefaultText(const PromptSpec& p) {
    return *p.defaultText ? std::string(p.defaultText) : NumberText(p.defaultValue);
}

// ---- --list ---------------------------------------------------------------------------------

void ListTools(std::ostream& out) {
    for (const ToolRow& t : AllTools()) {
        out << t.name << " (" << t.id << "): " << t.summary << "\n";
        if (t.prompts.empty()) out << "    no parameters\n";
        for (const PromptSpec& p : t.prompts) {
            const std::string range = p.type == PromptType::File ? "a file"
                                      : p.type == PromptType::Text
                                          ? "text"
                                          : NumberText(p.min) + " to " + NumberText(p.max);
            out << "    " << std::left << std::setw(22) << p.name << std::setw(16)
                << (*p.unit ? p.unit : "-") << std::setw(20) << range << " default "
                << DefaultText(p) << "\n";
        }
    }
}

void ListToolsJson(std::ostream& out) {
    JsonWriter j(out);
    j.BeginArray();
    for (const ToolRow& t : AllTools()) {
        j.BeginObject();
        j.Field("id", static_cast<double>(t.id));
        j.Field("name", t.name);
        j.Field("summary", t.summary);
        j.BeginArray("parameters");
        for (const PromptSpec& p : t.prompts) {
            j.BeginObject();
            j.Field("key", p.name);
            j.Field("unit", p.unit);
            // Texts and files have no numeric range.
            if (p.type == PromptType::Text || p.type == PromptType::File) {
                j.Null("min");
                j.Null("max");
            } else {
                j.Field("min", p.min);
                j.Field("max", p.max);
            }
            if (*p.defaultText)
                j.Field("default", p.defaultText);
            else
                j.Field("default", p.defaultValue);
            j.EndObject();
        }
        j.EndArray();
        j.EndObject();
    }
    j.EndArray();
    out << "\n";
}

// ---- arguments --------------------------------------------------------------------------------

// A number outside the range a tool declares would only be refused once the file is loaded and
// the steps before it have run; refusing it here makes it a usage error with the range in it.
// Whole-number prompts take whole numbers: the dialog would round, a script means what it says.
void CheckStepValues(const ToolStep& step) {
    for (const PromptSpec& p : step.tool->prompts) {
        const auto it = step.values.find(p.name);
        if (it == step.values.end() || !IsNumberPrompt(p)) continue;
        double v = 0;
        ParseStepNumber(it->second, v);
        const std::string what = std::string(step.tool->name) + ": " + p.name + "=" + it->second;
        if (!InRange(v, p.min, p.max))
            Fail(what + " lies outside " + NumberText(p.min) + " to " + NumberText(p.max) +
                 (*p.unit ? std::string(" ") + p.unit : ""));
        if (p.type == PromptType::Int && v != std::floor(v)) Fail(what + " is not a whole number");
    }
}

struct SampleSpan {
    int64_t first = 0, last = 0;
};

std::optional<SampleSpan> ParseSpan(const std::string& text) {
    const size_t colon = text.find(':');
    if (colon == std::string::npos) return std::nullopt;
    const auto first = ParseInt(text.substr(0, colon));
    const auto last = ParseInt(text.substr(colon + 1));
    if (!first || !last || *first < 0 || *last < *first) return std::nullopt;
    return SampleSpan{*first, *last};
}

// With --seed N the random steps start from N, N + 1, ... in turn, so a run repeats exactly and
// two noise steps add different noise; without, from the millisecond clock as the window does,
// one further for each random step.
std::function<int32_t()> SeedSource(std::optional<int32_t> fixed) {
    const int64_t start = fixed ? *fixed - 1
                                : std::chrono::duration_cast<std::chrono::milliseconds>(
                                      std::chrono::steady_clock::now().time_since_epoch())
                                      .count();
    auto calls = std::make_shared<int64_t>(0);
    return [start, calls] { return static_cast<int32_t>(-(1 + (start + (*calls)++) % kMaxSeed)); };
}

// ---- the run ----------------------------------------------------------------------------------

struct StepReport {
    const ToolRow* tool = nullptr;
    int code = 0;
    std::string text;  // the last status text the step showed
    std::vector<std::pair<std::string, double>> results;
};

// Runs one step on wave, its status texts straight to err. On failure prints "STEP failed"
// unless the tool said why itself.
StepReport RunStep(const ToolStep& step, const std::string& stepText, cWaveform& wave,
                   const std::optional<SampleSpan>& span, int fileType,
                   const std::function<int32_t()>& seed, std::ostream& err) {
    cStepInput input(step);
    static const std::atomic<bool> kNeverStop{false};
    StepReport report;
    report.tool = step.tool;
    int texts = 0;
    ToolContext ctx;
    ctx.input = &input;
    ctx.status = [&](const std::string& text) {
        err << text << "\n";
        report.text = text;
        ++texts;
    };
    ctx.notice = [&](const std::string& title, const std::string& text) {
        err << title << ": " << text << "\n";
    };
    ctx.stop = &kNeverStop;
    ctx.seed = seed;
    ctx.fileType = fileType;
    ctx.view.timeTrace = ToolViewState::Trace::IQ;
    const int64_t lastSample = std::max<int64_t>(wave.sampleCount - 1, 0);
    // An earlier step may have shortened the waveform: the span ends with it.
    ctx.view.zoomFirst = span ? std::min(span->first, lastSample) : 0;
    ctx.view.zoomLast = span ? std::min(span->last, lastSample) : lastSample;

    // Texts before the operation come from the checks; after it, from its failure.
    bool ran = false;
    int textsBeforeEnd = 0;
    ToolHost host;  // no undo: the file on disk is the undo
    host.run = [&](const std::function<int()>& work) {
        ran = true;
        const int code = work();
        textsBeforeEnd = texts;
        return code;
    };
    report.code = RunTool(*step.tool, ctx, wave, host);
    report.results = ctx.results;
    if (report.code != kToolOk) {
        const bool explained = ran ? texts > textsBeforeEnd : texts > 0;
        if (!explained) err << "qrvn: " << Printable(stepText) << " failed\n";
    }
    return report;
}

int Edit(const ParsedArguments& a, std::ostream& out, std::ostream& err) {
    if (a.Has("--list")) {
        if (!a.positional.empty() || a.options.size() > (a.Has("--json") ? 2u : 1u))
            Fail("--list takes no other arguments than --json");
        if (a.Has("--json"))
            ListToolsJson(out);
        else
            ListTools(out);
        return kExitOk;
    }
    if (a.positional.size() < 2)
        Fail("edit needs IN, -o OUT and at least one STEP (qrvn edit --list shows the tools)");
    if (!a.Has("-o") || a.Get("-o").empty()) Fail("edit needs -o OUT");
    // Every argument is checked before the file is read or any step runs.
    const std::vector<std::string> stepTexts(a.positional.begin() + 1, a.positional.end());
    std::vector<ToolStep> steps(stepTexts.size());
    for (size_t i = 0; i < steps.size(); ++i) {
        const std::string why = ParseToolStep(stepTexts[i], steps[i]);
        if (!why.empty()) Fail(why);
        CheckStepValues(steps[i]);
    }
    std::optional<int> to;
    if (a.Has("--to")) {
        to = ParseInt32(a.Get("--to"));
        // 40112 writes the spectrum beside each sample, and edit keeps none.
        if (to && *to == kFileTableMhzQSpec)
            Fail("file type 40112 needs a spectrum, which edit does not compute");
        if (!to || !HasEncoder(*to)) Fail("file type '" + a.Get("--to") + "' cannot be written");
    }
    std::optional<int32_t> seed;
    if (a.Has("--seed")) {
        const auto n = ParseInt(a.Get("--seed"));
        if (!n || *n < 1 || *n > kMaxSeed)
            Fail("--seed takes a whole number from 1 to " + std::to_string(kMaxSeed));
        seed = static_cast<int32_t>(*n);
    }
    // The transition shape of the FFT filters, which the window's Filter Shape commands set.
    int shape = 1;
    if (a.Has("--shape")) {
        const std::string& name = a.Get("--shape");
        shape = name == "gaussian"             ? 1
                : name == "raised-cosine"      ? 2
                : name == "root-raised-cosine" ? 3
                                               : 0;
        if (shape == 0)
            Fail("--shape takes gaussian, raised-cosine or root-raised-cosine, not '" + name + "'");
    }
    std::optional<SampleSpan> span;
    if (a.Has("--span")) {
        span = ParseSpan(a.Get("--span"));
        if (!span) Fail("--span takes FIRST:LAST, sample indices with 0 <= FIRST <= LAST");
    }

    Loaded l;
    std::ostringstream loadNotes;  // after the checks below, so a refusal stays one line
    LoadOrFail(a.positional[0], a, l, loadNotes);
    cWaveform& wave = l.wave;
    const int inputType = wave.fileType;
    const int outputType = to ? *to : inputType;
    if (!HasEncoder(outputType))
        Fail("file type " + std::to_string(outputType) + " cannot be written: give --to");
    if (span && span->last >= wave.sampleCount)
        Fail("--span " + a.Get("--span") + " ends past the last sample (" +
             std::to_string(wave.sampleCount - 1) + ")");
    err << loadNotes.str();
    wave.filterShape = shape;

    const std::function<int32_t()> seedSource = SeedSource(seed);
    std::vector<StepReport> reports;
    for (size_t i = 0; i < steps.size(); ++i) {
        reports.push_back(RunStep(steps[i], stepTexts[i], wave, span, inputType, seedSource, err));
        if (reports.back().code != kToolOk) return kExitStepFailed;
    }

    const std::string& target = a.Get("-o");
    wave.fileType = outputType;
    SaveFailure why = SaveFailure::None;
    if (wave.SaveFile(target, &why) != 1)
        Fail(SaveFailureText(why, wave.SaveErrno(), Printable(target), wave.SaveCutFile()));

    if (!a.Has("--json")) {
        out << "wrote " << wave.sampleCount << " samples to " << Printable(target) << " as type "
            << outputType << "\n";
        return kExitOk;
    }
    JsonWriter j(out);
    j.Begin();
    j.Field("file", a.positional[0]);
    j.Field("output", target);
    j.Field("file_type", static_cast<double>(outputType));
    j.Field("samples", static_cast<double>(wave.sampleCount));
    j.Field("sample_rate_hz", static_cast<double>(wave.sampleRate));
    j.BeginArray("steps");
    for (const StepReport& r : reports) {
        j.BeginObject();
        j.Field("name", r.tool->name);
        j.Field("code", static_cast<double>(r.code));
        j.Field("text", r.text);
        j.BeginObject("results");
        for (const auto& [name, value] : r.results)
            j.Field(name, value);
        j.EndObject();
        j.EndObject();
    }
    j.EndArray();
    j.End();
    return kExitOk;
}

}  // namespace

int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    return RunVerb(
        args,
        Join(kLoadOptions, {{"-o", true, false},
                            {"--to", true, false},
                            {"--seed", true, false},
                            {"--span", true, false},
                            {"--shape", true, false},
                            {"--list", false, false}}),
        std::string("usage: qrvn edit IN -o OUT [options] STEP...\n"
                    "       qrvn edit --list [--json]\n"
                    "Runs editing tools on IN in the order given and writes the result to OUT.\n"
                    "A STEP is NAME or NAME:KEY=VALUE,KEY=VALUE; a key left out takes the\n"
                    "tool's default. --list shows every tool with its keys, units, ranges and\n"
                    "defaults.\n"
                    "  -o OUT          the file to write (may be IN)\n") +
            kLoadHelp +
            "  --to ID         file type of OUT (400-412, 418, 420-422, 399, 40111, 40113, 40114;\n"
            "                  default: that of IN)\n"
            "  --seed N        start the random steps from N, N + 1, ... (1-2147483646), so a run\n"
            "                  repeats exactly (default: from the clock)\n"
            "  --span F:L      the samples shown, F to L, for tools that act on the shown\n"
            "                  span (default: the whole waveform)\n"
            "  --shape S       transition shape of the FFT filters: gaussian (default),\n"
            "                  raised-cosine or root-raised-cosine\n"
            "  --json          one JSON object: the files, samples, rate and each step's\n"
            "                  text and results\n"
            "  --list          every tool and its parameters (with --json: a JSON array)\n"
            "Status texts go to stderr as the tools show them. OUT is written only when\n"
            "every step succeeded; a failed step exits with status 4.\n",
        Edit, out, err, Notes::AsTheyCome);
}
