// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the HTTP output reads from a request besides its path: the
// language a browser asks for, the password it brings, the span of minutes
// asked for. Free functions over text, so that tests and the fuzzer feed
// them whatever a client may send.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

enum class THttpLanguage { Japanese, English };

// The language of an Accept-Language header: the one of Japanese and
// English with the higher weight ("q"), the first listed of two equal;
// English, as the program speaks to everyone but Japanese users, when it
// names neither.
THttpLanguage PageLanguage(std::string_view acceptLanguage);

// Whether an Authorization header carries this user and password by HTTP
// basic authentication.
bool Authorized(std::string_view authorization, std::string_view user, std::string_view password);

// An instant as a request gives it: seconds since 1970-01-01 UTC
// ("1765292640") or ISO 8601 with "Z" or an offset
// ("2026-12-09T15:04:00Z", "2026-12-10T00:04+09:00"); none otherwise.
std::optional<std::int64_t> ParseInstant(std::string_view text);
// "2026-12-09T15:04:00Z".
std::string IsoUtc(std::int64_t seconds);

// The minutes one answer of the minutes API holds unless the request asks
// for fewer or more, and the most it may ask for: a week, which the live
// page fetches at once.
inline constexpr std::size_t DefaultMinutesPerAnswer = 1440;
inline constexpr std::size_t MaxMinutesPerAnswer = 7 * 1440;

// A request of the minutes API, once read.
struct TMinutesQuery {
    std::int64_t From = 0; // the first minute's start may be this or later
    std::int64_t To = 0;   // every minute starts before this
    std::size_t Limit = DefaultMinutesPerAnswer;
    bool Csv = false;
};

// The query's values, each absent when the request has none: from and to
// default to a day before now and to now, limit to the most, format to
// JSON. The error is the answer's text when a value cannot be used.
struct TMinutesQueryText {
    std::optional<std::string> From, To, Limit, Format;
};
struct TMinutesQueryResult {
    std::optional<TMinutesQuery> Query;
    std::string Error;
};
TMinutesQueryResult ReadMinutesQuery(const TMinutesQueryText& text, std::int64_t now);

} // namespace ostrel
