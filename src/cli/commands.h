#pragma once
// The verbs of qrvn. Each takes the arguments after the verb, writes its results to out and
// one-line errors to err, and returns the exit status: 0 done, 2 bad arguments, an unreadable
// file or a file not written, 3 (measure) the emission mask failed, 4 (edit) a step failed. The
// program returns 1 when its standard output could not be written.

#include <ostream>
#include <string>
#include <vector>

constexpr int kExitOk = 0;
constexpr int kExitOutputFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitMaskFailed = 3;
constexpr int kExitStepFailed = 4;

int RunInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunMeasure(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunConvert(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunRender(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// Drives a running window through its command channel (remote_command.cpp).
int RunRemote(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
int RunEdit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The whole-file overview of a capture as a .npy file (overview_command.cpp).
int RunOverview(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// Rows of a spectrogram of a file of any size as a .npy file (spectrogram_command.cpp).
int RunSpectrogram(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// Designs a low-pass FIR filter and writes its taps (fir_design_command.cpp).
int RunFirDesign(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The whole program: verb dispatch and the top-level help.
int RunQrvn(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
