// The program: one application object holding the main window.

#include <QApplication>
#include <clocale>
#include <csignal>
#include <string>
#include <vector>

#include "app/command_channel.h"
#include "app/main_frame.h"
#include "app/window_pump.h"

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
    InstallWindowEventPump();
    std::vector<std::string> args;
    for (const QString& a : QApplication::arguments().mid(1))
        args.push_back(a.toStdString());
    CMainFrame frame;
    cCommandChannel::Start(&frame);
    frame.show();
    frame.OnInitialUpdate(args);
    return app.exec();
}
