// The client's wake-up event on Linux: a flag under a mutex with a condition variable.
#include "platform/signal_event.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>

struct SignalEvent {
    std::mutex lock;
    std::condition_variable changed;
    bool set = false;
};

SignalEvent* CreateSignalEvent() { return new (std::nothrow) SignalEvent; }

void SetSignalEvent(SignalEvent* event) {
    if (!event) return;
    {
        std::lock_guard<std::mutex> guard(event->lock);
        event->set = true;
    }
    event->changed.notify_one();
}

bool WaitSignalEvent(SignalEvent* event, int milliseconds) {
    if (!event) return false;
    std::unique_lock<std::mutex> guard(event->lock);
    bool set = event->changed.wait_for(guard, std::chrono::milliseconds(milliseconds), [event] { return event->set; });
    event->set = false;
    return set;
}

void CloseSignalEvent(SignalEvent* event) { delete event; }

void PostWindowMessage(void*, uint32_t) {}
