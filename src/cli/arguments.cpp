#include "cli/arguments.h"

#include <charconv>
#include <cstdint>

std::optional<double> ParseNumber(const std::string& text) {
    double v = 0.0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || first == last) return std::nullopt;
    return v;
}

std::optional<long long> ParseInt(const std::string& text) {
    long long v = 0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || first == last) return std::nullopt;
    return v;
}

std::optional<int> ParseInt32(const std::string& text) {
    const auto v = ParseInt(text);
    if (!v || *v < INT32_MIN || *v > INT32_MAX) return std::nullopt;
    return static_cast<int>(*v);
}

std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const std::vector<OptionSpec>& specs,
                                              std::string& error) {
    ParsedArguments parsed;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 1 && a[0] == '-' && !ParseNumber(a)) {
            const OptionSpec* known = nullptr;
            for (const auto& s : specs)
                if (s.name == a) known = &s;
            if (!known) {
                error = "unknown option " + a;
                return std::nullopt;
            }
            std::string value;
            if (known->takesValue) {
                // An optional value is taken only when it is a number, so "--snr FILE" keeps FILE.
                // A required value may start with "-" ("--span -5e6:5e6"); only another option
                // of this verb is not taken as one.
                const bool haveNext = i + 1 < args.size();
                auto isOption = [&specs](const std::string& text) {
                    for (const auto& s : specs)
                        if (s.name == text) return true;
                    return false;
                };
                const bool next =
                    haveNext && (known->valueOptional ? ParseNumber(args[i + 1]).has_value()
                                                      : !isOption(args[i + 1]));
                if (next) {
                    value = args[++i];
                } else if (!known->valueOptional) {
                    error = "option " + a + " needs a value";
                    return std::nullopt;
                }
            }
            parsed.options[a] = value;
            parsed.all[a].push_back(value);
        } else {
            parsed.positional.push_back(a);
        }
    }
    return parsed;
}
