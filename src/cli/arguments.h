#pragma once
// Command-line parsing for qrvn: a verb, positional arguments and options, each option known
// in advance (unknown options are errors, never ignored).

#include <map>
#include <optional>
#include <string>
#include <vector>

struct OptionSpec {
    std::string name;    // "--fft"
    bool takesValue;     // "--fft 4096"
    bool valueOptional;  // "--snr" or "--snr 1e6"
};

struct ParsedArguments {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;  // present options (the last value); "" for flags
    std::map<std::string, std::vector<std::string>> all;  // every value of each, in order
    bool Has(const std::string& name) const { return options.count(name) != 0; }
    std::string Get(const std::string& name, const std::string& fallback = "") const {
        auto it = options.find(name);
        return it == options.end() ? fallback : it->second;
    }
    // Every value an option was given, for the options that may repeat.
    std::vector<std::string> GetAll(const std::string& name) const {
        auto it = all.find(name);
        return it == all.end() ? std::vector<std::string>{} : it->second;
    }
};

// Parses args against specs. Returns the result, or nothing with the message in error.
std::optional<ParsedArguments> ParseArguments(const std::vector<std::string>& args,
                                              const std::vector<OptionSpec>& specs,
                                              std::string& error);

// Number parsing that rejects trailing text ("12x") and is independent of the C locale.
std::optional<double> ParseNumber(const std::string& text);
std::optional<long long> ParseInt(const std::string& text);
// An integer that fits 32 bits; larger values are refused, never wrapped.
std::optional<int> ParseInt32(const std::string& text);
