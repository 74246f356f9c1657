// qrvn: the batch command of the workbench. Plots are drawn with the same code as the window,
// on Qt's off-screen platform, so it runs on build servers without a display.

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QtGlobal>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "cli/commands.h"

namespace {
// Scripts read stderr for the one-line error; Qt's own notices (a missing runtime folder and
// the like) stay out of it. Critical and fatal messages still go through.
void QuietQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg)
        fprintf(stderr, "qrvn: %s\n", qPrintable(message));
}

// A standard stream that was closed would hand its number to the next file opened, and our
// text would land in the file being written: hold each free slot with /dev/null. Returns
// whether standard output was among them (its text then cannot reach anyone).
bool HoldClosedStandardStreams() {
    bool stdoutClosed = false;
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        if (fd == 1) stdoutClosed = true;
        const int held = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (held >= 0 && held != fd) {
            ::dup2(held, fd);
            ::close(held);
        }
    }
    return stdoutClosed;
}

// True when standard output is a pipe whose reader has gone (as `| head` leaves it).
bool OutputReaderGone() {
    struct pollfd p {
        1, 0, 0
    };
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLERR) != 0;
}

// Flushes standard output and reports a failure (a full disk, a closed stream) as one line; a
// reader that stopped reading is no fault to report, but the output is still incomplete.
int FinishOutput(int status, bool stdoutClosed) {
    std::cout.flush();
    int error = stdoutClosed ? EBADF : 0;
    if (!error && (!std::cout || std::fflush(stdout) != 0 || std::ferror(stdout)))
        error = errno ? errno : EIO;
    if (std::fclose(stdout) != 0 && !error) error = errno;
    if (!error) return status;
    if (error != EPIPE && !OutputReaderGone())
        std::fprintf(stderr, "qrvn: cannot write the output: %s\n", std::strerror(error));
    return status == kExitOk ? kExitOutputFailed : status;
}
}  // namespace

int main(int argc, char** argv) {
    const bool stdoutClosed = HoldClosedStandardStreams();
    // Past a file-size limit a write must fail and be reported, not kill the program halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    // A reader that closes the pipe early must not kill the program: the write fails instead.
    std::signal(SIGPIPE, SIG_IGN);
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Fonts and images need a GUI application, but never a display.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietQtMessages);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    return FinishOutput(RunQrvn(args, std::cout, std::cerr), stdoutClosed);
}
