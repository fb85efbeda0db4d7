// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

namespace ostrel::test {

// Sets TZ for one test and puts the old one back.
class TTimeZone {
public:
    explicit TTimeZone(const char* zone) {
        if (const char* old = std::getenv("TZ")) {
            Saved = old;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~TTimeZone() {
        if (Saved) {
            setenv("TZ", Saved->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    TTimeZone(const TTimeZone&) = delete;
    TTimeZone& operator=(const TTimeZone&) = delete;

private:
    std::optional<std::string> Saved;
};

} // namespace ostrel::test
