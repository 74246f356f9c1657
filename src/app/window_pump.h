#pragma once
// The program's timed wait: on the GUI thread it runs the event loop for the time asked, so
// the window stays alive (and commands may run meanwhile); on any other thread it sleeps.

// Installs it as the wait of PumpMessagesFor.
void InstallWindowEventPump();
