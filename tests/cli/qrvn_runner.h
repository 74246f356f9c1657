#pragma once
// qrvn started as a program, as a script on a build server would: arguments, standard streams
// to files, optionally without privileges, under a file-size limit or with extra environment;
// and waveform files written with the project's writer as its input.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QJsonDocument>
#include <algorithm>
#include <complex>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "../test_signals.h"
#include "../unprivileged.h"
#include "waveform/waveform.h"

namespace fs = std::filesystem;
using cd = std::complex<double>;

struct Result {
    int status = -1;
    std::string out, err;
};

// How the program is started: standard output to a file (or elsewhere, or closed), and
// optionally without privileges or under a file-size limit.
struct Start {
    std::string stdoutPath;  // empty: a file in the test folder
    bool closeStdout = false;
    bool readerGone = false;  // standard output a pipe whose reader has closed it
    bool unprivileged = false;
    rlim_t fileSizeLimit = 0;                   // bytes; 0: none
    std::vector<std::string> environment = {};  // "NAME=VALUE" set for the program
    std::function<void()> whileWaiting = {};    // called until the program ends
    std::string tag = {};                       // names its output files apart
};

inline QJsonDocument Json(const std::string& text) {
    return QJsonDocument::fromJson(QByteArray::fromStdString(text));
}

// For EXPECT_PRED2, which prints both texts when it fails.
inline bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

inline long Lines(const std::string& text) { return std::count(text.begin(), text.end(), '\n'); }

// A started qrvn and where its standard streams go.
struct Running {
    pid_t pid = -1;
    std::string outPath, errPath;
};

// Starts qrvn ARGS with its standard streams in files in DIR (named with start.tag, so several
// may run at once) and returns without waiting.
inline Running StartQrvn(std::vector<std::string> args, const fs::path& dir,
                         const Start& start = {}) {
    args.insert(args.begin(), QRVN_BINARY);
    Running r;
    r.outPath =
        start.stdoutPath.empty() ? (dir / ("stdout" + start.tag)).string() : start.stdoutPath;
    r.errPath = (dir / ("stderr" + start.tag)).string();
    r.pid = fork();
    if (r.pid == 0) {
        const int o = ::open(r.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        const int e = ::open(r.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(o, 1);
        dup2(e, 2);
        if (start.closeStdout) close(1);
        if (start.readerGone) {
            int ends[2];
            if (pipe(ends) != 0) _exit(125);
            close(ends[0]);
            dup2(ends[1], 1);
            close(ends[1]);
        }
        signal(SIGPIPE, SIG_DFL);
        for (const std::string& setting : start.environment) {
            const size_t eq = setting.find('=');
            setenv(setting.substr(0, eq).c_str(), setting.substr(eq + 1).c_str(), 1);
        }
        // The default action, as a shell gives it: the program must ignore it itself.
        signal(SIGXFSZ, SIG_DFL);
        if (start.fileSizeLimit) {
            const struct rlimit limit { start.fileSizeLimit, start.fileSizeLimit };
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        if (start.unprivileged && geteuid() == 0 &&
            (setgroups(0, nullptr) != 0 || setgid(kNobodyId) != 0 || setuid(kNobodyId) != 0))
            _exit(126);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return r;
}

// Waits for a started qrvn (calling whileWaiting meanwhile) and collects what it wrote.
inline Result FinishQrvn(const Running& r, const Start& start = {}) {
    int status = 0;
    if (!start.whileWaiting) waitpid(r.pid, &status, 0);
    while (start.whileWaiting && waitpid(r.pid, &status, WNOHANG) == 0)
        start.whileWaiting();
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1,
            start.stdoutPath.empty() ? Slurp(r.outPath) : std::string(), Slurp(r.errPath)};
}

// qrvn ARGS with its standard streams in files in DIR.
inline Result RunQrvn(std::vector<std::string> args, const fs::path& dir, const Start& start = {}) {
    return FinishQrvn(StartQrvn(std::move(args), dir, start), start);
}

class Qrvn : public FolderTest {
protected:
    Result Run(std::vector<std::string> args, const Start& start = {}) const {
        return RunQrvn(std::move(args), dir_, start);
    }

    // A waveform written with the project's writer (type 405 unless given).
    std::string Save(const std::string& name, int n, const std::function<cd(int)>& f,
                     int type = 405) const {
        cWaveform w = SignalWave(n, kDefaultSampleRateHz, f);
        w.fileType = type;
        EXPECT_EQ(w.SaveFile(Path(name)), 1);
        return Path(name);
    }
};
