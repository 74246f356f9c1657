// The program: one application object holding the main window.

#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "app/main_frame.h"
#include "waveform/message_pump.h"

namespace {
// Waiting on the GUI thread keeps the window alive (commands may run meanwhile); elsewhere
// it is a plain sleep.
void PumpWindowEvents(int ms) {
    if (QThread::currentThread() == QCoreApplication::instance()->thread()) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        loop.exec();
    } else if (ms > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }
}
}  // namespace

class CQuorvalenApp : public QApplication {
public:
    CQuorvalenApp(int& argc, char** argv) : QApplication(argc, argv) {
        // Qt takes the C locale from the environment; numbers in files and texts must not.
        std::setlocale(LC_NUMERIC, "C");
    }
};

int main(int argc, char** argv) {
    // Past a file-size limit a save must fail and be reported, not kill the program halfway.
    std::signal(SIGXFSZ, SIG_IGN);
    CQuorvalenApp app(argc, argv);
    SetMessagePumpHook(PumpWindowEvents);
    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1))
        args.push_back(a.toStdString());
    CMainFrame frame;
    frame.show();
    frame.OnInitialUpdate(args);
    return app.exec();
}
