// SPDX-License-Identifier: GPL-3.0-or-later
// A Rad Pro counter on a pseudo-terminal for the end-to-end run of the real
// program: prints the terminal's path, answers the adapter's requests, and
// counts the given pulses once a second. Ends after the given number of
// seconds, or when it is killed.
//
//   ostrel-fake-radpro <pulses per second> <seconds to live>

#include "adapters/PtyFakes.h"

#include <chrono>
#include <cstdlib>
#include <iostream>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: ostrel-fake-radpro <pulses per second> <seconds to live>\n";
        return 2;
    }
    const auto pulses = static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10));
    const long lifetime = std::strtol(argv[2], nullptr, 10);

    ostrel::adapters::test::TFakeRadPro radPro;
    std::cout << radPro.Path() << std::endl;

    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(lifetime);
    auto next = std::chrono::steady_clock::now();
    std::size_t told = 0;
    while (std::chrono::steady_clock::now() < end) {
        next += std::chrono::seconds(1);
        std::this_thread::sleep_until(next);
        radPro.AddPulses(pulses);
        // One line per pulse count answered, for the script to wait on.
        const std::vector<std::string> requests = radPro.Requests();
        for (; told < requests.size(); ++told) {
            if (requests[told] == "GET tubePulseCount") {
                std::cerr << "sent" << std::endl;
            }
        }
    }
    return 0;
}
