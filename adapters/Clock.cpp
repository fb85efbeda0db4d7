// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/Clock.h"

#include <chrono>

namespace ostrel::adapters {

TClock SystemClock() {
    using namespace std::chrono;
    return TClock{
        [] { return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count(); },
        [] { return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count(); },
    };
}

} // namespace ostrel::adapters
