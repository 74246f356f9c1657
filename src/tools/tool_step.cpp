#include "tools/tool_step.h"

#include <charconv>
#include <cmath>
#include <vector>

bool ParseStepNumber(const std::string& text, double& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') ++begin;
    const auto [ptr, ec] = std::from_chars(begin, end, value);
    return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::string ParseToolStep(const std::string& text, ToolStep& step) {
    step = ToolStep{};
    const size_t colon = text.find(':');
    const std::string name = text.substr(0, colon);
    step.tool = FindTool(name);
    if (!step.tool) return "unknown tool \"" + name + "\" (qrvn edit --list shows them)";
    if (colon == std::string::npos) return "";
    // Split at commas; a piece without "=" belongs to the value before it.
    std::vector<std::string> pieces;
    std::string rest = text.substr(colon + 1);
    size_t from = 0;
    while (from <= rest.size()) {
        const size_t comma = rest.find(',', from);
        std::string piece =
            rest.substr(from, comma == std::string::npos ? std::string::npos : comma - from);
        if (!pieces.empty() && piece.find('=') == std::string::npos)
            pieces.back() += "," + piece;
        else
            pieces.push_back(piece);
        if (comma == std::string::npos) break;
        from = comma + 1;
    }
    for (const std::string& piece : pieces) {
        if (piece.empty()) continue;
        const size_t eq = piece.find('=');
        if (eq == std::string::npos) return "\"" + piece + "\" is not KEY=VALUE";
        const std::string key = piece.substr(0, eq), value = piece.substr(eq + 1);
        const PromptSpec* question = nullptr;
        for (const PromptSpec& p : step.tool->prompts)
            if (key == p.name) question = &p;
        if (!question) {
            std::string known;
            for (const PromptSpec& p : step.tool->prompts)
                known += std::string(known.empty() ? "" : ", ") + p.name;
            return std::string(step.tool->name) + " has no parameter \"" + key + "\"" +
                   (known.empty() ? " (it takes none)" : " (it takes " + known + ")");
        }
        if (step.values.count(key)) return "\"" + key + "\" is given twice";
        double number;
        if (question->type != PromptType::Text && question->type != PromptType::File &&
            !ParseStepNumber(value, number))
            return "\"" + key + "=" + value + "\" is not a number";
        // A text prompt with a number range takes a number, or the word its default names
        // ("RND"): the dialog would read anything else as 0, which a script never means.
        if (question->type == PromptType::Text && question->min < question->max &&
            !ParseStepNumber(value, number)) {
            double ignored;
            const std::string word = question->defaultText;
            if (word.empty() || ParseStepNumber(word, ignored) || value != word)
                return "\"" + key + "=" + value + "\" is not a number" +
                       (word.empty() || ParseStepNumber(word, ignored) ? "" : " or " + word);
        }
        step.values[key] = value;
    }
    return "";
}

const std::string* cStepInput::Value(const PromptSpec& question) const {
    const auto it = step_.values.find(question.name);
    return it == step_.values.end() ? nullptr : &it->second;
}

float cStepInput::Float(const PromptSpec& question, float def) {
    return static_cast<float>(Double(question, def));
}

double cStepInput::Double(const PromptSpec& question, double def) {
    double v = def;
    if (const std::string* text = Value(question)) ParseStepNumber(*text, v);
    return v;
}

int cStepInput::Int(const PromptSpec& question, int def) {
    const double v = Double(question, def);
    // As the dialog rounds: half away from zero, limited to the int range.
    const double r = v > 0 ? v + 0.5 : v - 0.5;
    if (r >= 2147483647.0) return 2147483647;
    if (r <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(r);
}

std::string cStepInput::Text(const PromptSpec& question, const std::string& def) {
    const std::string* text = Value(question);
    return text ? *text : def;
}

std::string cStepInput::FileName(const PromptSpec& question, const std::string&) {
    const std::string* text = Value(question);
    return text ? *text : std::string();
}
