// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The thread of an output that works apart from logging (a network service,
// the desktop's notifications): started with the output, woken when there
// is work, and ended with a wait that has a limit, so that a service that
// does not answer never holds up the end of the program.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace ostrel {

// What an output and its thread share to work together and to end: the
// output's own shared state derives from it, and its Mutex guards that
// state too.
struct TThreadControl {
    mutable std::mutex Mutex;
    std::condition_variable Wake;
    bool StopRequested = false; // the output asks its thread to end
    bool Ended = false;         // the thread's body has returned

    bool Stopping() const {
        std::lock_guard lock(Mutex);
        return StopRequested;
    }
    // Waits for the time or for the end, whichever comes first.
    void Pause(std::chrono::milliseconds time) {
        std::unique_lock lock(Mutex);
        Wake.wait_for(lock, time, [this] { return StopRequested; });
    }
};

class TOutputThread {
public:
    TOutputThread() = default;
    // Ends the thread as Stop does, if that has not been done.
    ~TOutputThread();
    TOutputThread(const TOutputThread&) = delete;
    TOutputThread& operator=(const TOutputThread&) = delete;

    // Runs body(shared) on a thread of its own; body returns once it sees
    // StopRequested (having done first what must still be done).
    template <typename TShared>
    void Start(std::shared_ptr<TShared> shared,
               void (*body)(const std::shared_ptr<TShared>& shared)) {
        Control = shared;
        Worker = std::thread([shared, body] {
            body(shared);
            std::lock_guard lock(shared->Mutex);
            shared->Ended = true;
            shared->Wake.notify_all();
        });
    }

    // Asks the thread to end (wake, under the lock, may wake it from a wait
    // of its own) and waits for it at most limit. False when it did not end
    // in time: stuck where it cannot be woken (a name look-up, a service
    // that does not answer), it holds its own share of the state and ends
    // with the process.
    bool Stop(std::chrono::milliseconds limit, const std::function<void()>& wake = {});

private:
    std::shared_ptr<TThreadControl> Control;
    std::thread Worker;
};

} // namespace ostrel
