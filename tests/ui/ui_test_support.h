#pragma once
// Shared helpers of the widget tests: the settings folder and waiting on the event loop.

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>

// Points the user settings at a fresh empty folder and returns it; nothing is ever written to
// the real user configuration.
QString UseFreshSettingsFolder();

// Copies the settings written so far into a new folder and reads them from there from now on,
// as a restarted program would (settings already read in this process are not reused).
void RestartSettings();

// Processes events until done() holds or timeoutMs passes; returns done().
template <typename Done>
bool WaitUntil(Done done, int timeoutMs = 1000) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}
