// The main of the window tests: a widget application, and the event pump the program waits with.

#include <gtest/gtest.h>

#include <QApplication>

#include "app/window_pump.h"

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InstallWindowEventPump();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
