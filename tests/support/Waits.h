// SPDX-License-Identifier: GPL-3.0-or-later
// Waiting for what another thread or process does. Waits end at the event
// waited for; the limit only ends a run that has gone wrong, and leaves
// room for a busy machine (a disk that takes seconds to sync under a
// parallel build, say).
#pragma once

#include <chrono>
#include <functional>
#include <thread>

namespace ostrel::test {

inline constexpr int ProcessWaitMs = 60'000;
inline constexpr std::chrono::seconds WaitLimit{60};

inline bool Eventually(const std::function<bool()>& done,
                       std::chrono::milliseconds limit = WaitLimit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

} // namespace ostrel::test
