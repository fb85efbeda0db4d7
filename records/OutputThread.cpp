// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/OutputThread.h"

namespace ostrel {

TOutputThread::~TOutputThread() {
    Stop(std::chrono::seconds(3));
}

bool TOutputThread::Stop(std::chrono::milliseconds limit, const std::function<void()>& wake) {
    if (!Worker.joinable()) {
        return true;
    }
    std::unique_lock lock(Control->Mutex);
    Control->StopRequested = true;
    Control->Wake.notify_all();
    if (wake) {
        wake();
    }
    const bool ended = Control->Wake.wait_for(lock, limit, [this] { return Control->Ended; });
    lock.unlock();
    if (ended) {
        Worker.join();
    } else {
        Worker.detach();
    }
    return ended;
}

} // namespace ostrel
