// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The minutes as the HTTP output hands them out: each with its real start
// in UTC and its label as the log writes it, as JSON, CSV and the event of
// a page's live stream.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrel {

struct THttpMinute {
    // The minute's start in seconds since 1970 UTC, or the previous
    // minute's when the label names no instant: what a span is searched by.
    std::int64_t Key = 0;
    std::optional<std::int64_t> Utc;
    std::string Label; // "26/12/09, 15:04", as the log's line begins
    std::int32_t Count = 0;
    std::optional<double> DoseRate; // µSv/h, the line's
};

// The label of a log line: its date and time, the text before the second
// ", " ("26/12/09, 15:04" of "26/12/09, 15:04, 12, 0.1027").
std::string LineLabel(std::string_view line);

// A JSON string literal of text, quotes included.
std::string JsonText(std::string_view text);
// A number as the log writes it, with "." as the decimal point.
std::string DecimalText(double value);

// {"utc":"2026-12-09T15:04:00Z","label":"26/12/09, 15:04","count":12,
// "usvh":0.1027}; utc and usvh are null when the minute has none.
std::string MinuteJson(const THttpMinute& minute);
// {"minutes":[...],"next":"<the address of the next page>"|null}
std::string MinutesJson(std::span<const THttpMinute> minutes,
                        const std::optional<std::string>& next);
// "utc,label,count,usvh" and a line per minute, CR LF ended; the label
// quoted, empty fields for what a minute has not.
std::string MinutesCsv(std::span<const THttpMinute> minutes);

} // namespace ostrel
