// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/MinuteInstants.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>

namespace ostrel {
namespace {

constexpr std::int64_t DaySeconds = 86400;

std::int64_t SecondsOfCivil(int year, int month, int day, int hour, int minute, int second) {
    using namespace std::chrono;
    const sys_days date =
        year_month_day{std::chrono::year{year}, std::chrono::month{static_cast<unsigned>(month)},
                       std::chrono::day{static_cast<unsigned>(day)}};
    return static_cast<std::int64_t>(date.time_since_epoch().count()) * DaySeconds + hour * 3600 +
           minute * 60 + second;
}

} // namespace

std::optional<std::int64_t> WallSeconds(std::int64_t utcSeconds) {
    const auto seconds = static_cast<std::time_t>(utcSeconds);
    std::tm local{};
#ifdef _WIN32
    if (localtime_s(&local, &seconds) != 0) {
        return std::nullopt;
    }
#else
    if (localtime_r(&seconds, &local) == nullptr) {
        return std::nullopt;
    }
#endif
    return SecondsOfCivil(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                          local.tm_min, local.tm_sec);
}

std::optional<std::int64_t> TMinuteInstants::Next(TDateTime start) {
    if (!std::isfinite(start)) {
        return std::nullopt;
    }
    const TDateTimeParts parts = DecodeDateTime(start);
    if (parts.Date.Year == 0) {
        return std::nullopt;
    }
    const std::int64_t wall = SecondsOfCivil(parts.Date.Year, parts.Date.Month, parts.Date.Day,
                                             parts.Time.Hour, parts.Time.Minute, parts.Time.Second);
    const auto names = [wall](std::int64_t instant) { return WallSeconds(instant) == wall; };

    // Minute after minute the offset stays: one look at the clock.
    if (Previous) {
        const std::int64_t instant = wall - Offset;
        if (instant > *Previous && instant - *Previous <= 3600 && names(instant)) {
            Previous = instant;
            return instant;
        }
    }
    // Otherwise the offsets a day before and a day after the label (the
    // clocks never change twice within two days), and the previous one.
    std::array<std::int64_t, 3> instants{};
    std::size_t count = 0;
    // Kept in order, each once.
    const auto add = [&](std::int64_t instant) {
        if (!names(instant)) {
            return;
        }
        std::size_t at = 0;
        while (at < count && instants[at] < instant) {
            ++at;
        }
        if (at < count && instants[at] == instant) {
            return;
        }
        for (std::size_t k = count; k > at; --k) {
            instants[k] = instants[k - 1];
        }
        instants[at] = instant;
        ++count;
    };
    for (const std::int64_t probe : {wall - DaySeconds, wall + DaySeconds}) {
        if (const std::optional<std::int64_t> shown = WallSeconds(probe)) {
            add(wall - (*shown - probe));
        }
    }
    if (Previous) {
        add(wall - Offset);
    }
    if (count == 0) {
        return std::nullopt;
    }
    std::int64_t chosen = instants[0];
    if (Previous) {
        const auto end = instants.begin() + count;
        const auto later = std::find_if(
            instants.begin(), end, [this](std::int64_t instant) { return instant > *Previous; });
        if (later != end) {
            chosen = *later;
        }
    }
    Previous = chosen;
    Offset = wall - chosen;
    return chosen;
}

} // namespace ostrel
