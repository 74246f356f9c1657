// qrvn: the batch command of the workbench. Plots are drawn with the same code as the window,
// on Qt's off-screen platform, so it runs on build servers without a display.

#include <QGuiApplication>
#include <QtGlobal>
#include <cstdio>
#include <cstdlib>
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
}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    // Fonts and images need a GUI application, but never a display.
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    qInstallMessageHandler(QuietQtMessages);
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QGuiApplication app(qtArgc, qtArgv);
    return RunQrvn(args, std::cout, std::cerr);
}
