// SPDX-License-Identifier: GPL-3.0-or-later
// A GMC-320 on a pseudo-terminal for the end-to-end run of the real program:
// prints the terminal's path, answers the adapter, and while the heartbeat is
// on sends the given count once a second. Ends after the given number of
// seconds, or when it is killed.
//
//   ostrel-fake-gmc <count per second> <seconds to live>

#include "adapters/PtyFakes.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: ostrel-fake-gmc <count per second> <seconds to live>\n";
        return 2;
    }
    const auto count = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
    const long lifetime = std::strtol(argv[2], nullptr, 10);

    ostrel::adapters::test::TFakeGmc gmc("GMC-320Re 4.26");
    std::cout << gmc.Path() << std::endl;

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(lifetime);
    auto next = std::chrono::steady_clock::now();
    while (std::chrono::steady_clock::now() < end) {
        next += std::chrono::seconds(1);
        std::this_thread::sleep_until(next);
        if (gmc.Heartbeat()) {
            gmc.SendCounts({count});
            std::cerr << "sent " << count << std::endl;
        }
    }
    return 0;
}
