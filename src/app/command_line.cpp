#include "app/command_line.h"

#include <map>

#include "app/command_ids.h"

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine cl;
    if (args.empty()) {
        cl.newWaveform = true;
        return cl;
    }
    static const std::map<std::string, int> kTypes = {{"CPRI_ManExp", kFileCpriMantExp},
                                                      {"16BBE2S", kFileBin16BeTwos}};
    static const std::map<std::string, int> kBandwidths = {
        {"1", 1}, {"3", 3}, {"5", 5}, {"10", 10}, {"20", 20}};
    static const std::map<std::string, int> kModels = {{"11", 0x11}, {"31", 0x31}, {"FRCA3", 0xA3}};
    static const std::map<std::string, int> kDuplex = {{"FDD", kLteFdd},     {"TDD38", kLteTdd38},
                                                       {"TDD27", kLteTdd27}, {"TDD25", kLteTdd25},
                                                       {"TDD17", kLteTdd17}, {"TDD14", kLteTdd14}};
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.empty()) continue;
        // A bare path opens, as a desktop's "Open with" or a shell user passes it.
        if (a[0] != '-') {
            cl.actions.push_back({CommandLineAction::OpenFile, 0, a});
            continue;
        }
        if (i + 1 >= args.size()) break;  // an option without its value
        const char option = a.size() > 1 ? a[1] : '\0';
        const std::string& value = args[++i];
        auto lookup = [&](const std::map<std::string, int>& table, CommandLineAction::Kind kind) {
            if (auto it = table.find(value); it != table.end())
                cl.actions.push_back({kind, it->second, {}});
        };
        switch (option) {
            case 't': lookup(kTypes, CommandLineAction::SetFileType); break;
            case 'f': cl.actions.push_back({CommandLineAction::OpenFile, 0, value}); break;
            case 'b': lookup(kBandwidths, CommandLineAction::SetLteBandwidth); break;
            case 'm': lookup(kModels, CommandLineAction::SetLteTestModel); break;
            case 'd': lookup(kDuplex, CommandLineAction::SetLteDuplex); break;
            default: break;
        }
    }
    return cl;
}

std::string ResolveOpenPath(const std::string& path, const std::string& installPath,
                            const std::string& startDir) {
    if (!path.empty() && path[0] == '/') return path;
    std::string base = installPath.empty() ? startDir : installPath;
    if (!base.empty() && base.back() != '/') base += '/';
    return base + path;
}
