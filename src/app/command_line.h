#pragma once
// The program's command line: -t TYPE, -f FILE, -b MHZ, -m MODEL, -d DUPLEX, applied in the
// order given (so -t must come before -f to affect that file). An option is chosen by its
// second character and takes the next argument as its value; values are matched exactly and
// anything not recognised is skipped. An argument that is neither an option nor its value is a
// file to open, like -f.

#include <string>
#include <vector>

struct CommandLineAction {
    enum Kind { SetFileType, OpenFile, SetLteBandwidth, SetLteTestModel, SetLteDuplex } kind;
    int value = 0;     // file type, MHz, test model or duplex command id
    std::string path;  // OpenFile
};

struct CommandLine {
    bool newWaveform = false;  // no arguments at all: start with a new waveform
    std::vector<CommandLineAction> actions;
};

// args are the arguments after the program name.
CommandLine ParseCommandLine(const std::vector<std::string>& args);

// A file name from the command line, a drop or a recent-file entry as a path to open: a path
// not starting with "/" is taken relative to installPath when one is stored, else to startDir.
std::string ResolveOpenPath(const std::string& path, const std::string& installPath,
                            const std::string& startDir);
