#pragma once
// The timed wait used wherever the program waits. The shell installs a pump that keeps the
// window responsive on the GUI thread; without one (tests, batch tools, worker threads) it
// simply sleeps.

using MessagePumpHook = void (*)(int ms);

// Waits ms milliseconds, dispatching window events meanwhile when a hook is installed.
void PumpMessagesFor(int ms);

// Installs the pump (nullptr restores plain sleeping). Returns the previous hook.
MessagePumpHook SetMessagePumpHook(MessagePumpHook hook);
