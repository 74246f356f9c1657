#include "waveform/message_pump.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<MessagePumpHook> g_hook{nullptr};
}

void PumpMessagesFor(int ms) {
    if (MessagePumpHook hook = g_hook.load()) {
        hook(ms);
        return;
    }
    if (ms > 0) std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

MessagePumpHook SetMessagePumpHook(MessagePumpHook hook) { return g_hook.exchange(hook); }
