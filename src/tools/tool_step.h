#pragma once
// A tool run from text, as qrvn edit (and other programs) give it: "NAME" or
// "NAME:KEY=VALUE,KEY=VALUE". Keys are the tool's prompt names; a key left out takes the
// tool's default. Values are numbers (a dot for decimals, whatever the locale), texts or file
// paths; a piece without "=" continues the previous value, so a path may hold commas.

#include <map>
#include <string>

#include "tools/tool.h"

struct ToolStep {
    const ToolRow* tool = nullptr;
    std::map<std::string, std::string> values;  // key -> value as written
};

// Parses text into step. Returns "" or a one-line reason: unknown tool, unknown key, a key
// given twice, a value that is not a number where a number is asked.
std::string ParseToolStep(const std::string& text, ToolStep& step);

// Answers a tool's prompts from a step: the given value, else the default the tool offers.
// Nothing is remembered anywhere.
class cStepInput : public IToolInput {
public:
    explicit cStepInput(const ToolStep& step) : step_(step) {}
    float Float(const PromptSpec& question, float def) override;
    double Double(const PromptSpec& question, double def) override;
    int Int(const PromptSpec& question, int def) override;
    std::string Text(const PromptSpec& question, const std::string& def) override;
    std::string FileName(const PromptSpec& question, const std::string& title) override;

private:
    const std::string* Value(const PromptSpec& question) const;
    const ToolStep& step_;
};

// The number in text, all of it ("1e6", "-2.5"), or false.
bool ParseStepNumber(const std::string& text, double& value);
