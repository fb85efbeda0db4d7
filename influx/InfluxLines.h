// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A finished minute in InfluxDB's line protocol, the write request that
// carries minutes, and what the server's reply means for them. No network
// here.

#include "influx/InfluxSettings.h"
#include "maps/MapsReply.h"
#include "maps/MapsRequests.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

inline constexpr std::string_view InfluxMeasurement = "ostrel";

// Who measured: each an InfluxDB tag, left out when empty.
struct TInfluxTags {
    std::string Counter; // the counter's family, or its device id
    std::string Station;
};

// A tag's value as the line protocol writes it: comma, equals sign and
// space escaped with a backslash; control characters become spaces, and a
// backslash, which the protocol cannot always tell from an escape, becomes
// "/".
std::string EscapeTag(std::string_view value);

// "ostrel,counter=gmc,station=roof cpm=31i,usvh=0.0489 1765261380": the
// count as an integer field, the dose rate (when there is one and it is
// finite) as a float field, the minute's start in seconds.
std::string InfluxLine(const TInfluxTags& tags, std::int64_t utcSeconds, std::int32_t count,
                       std::optional<double> doseRate);

// Whether text is a line InfluxLine makes (for the lines of the queue's
// file), and the minute's start it ends with, in UTC ("2026-12-09T06:23:00Z").
bool IsInfluxLine(std::string_view text);
std::string InfluxLineStart(std::string_view line);

// The path of each kind of server's write endpoint, after the base address.
inline constexpr const char* InfluxV1WritePath = "/write";
inline constexpr const char* InfluxV2WritePath = "/api/v2/write";

// A POST of lines (line-feed separated) with precision=s: to 1.x's /write
// with the database, credentials as HTTP basic authentication; to 2.x's
// /api/v2/write with the organization and the bucket, the token as
// "Authorization: Token ...".
TMapsRequest InfluxWriteRequest(const TInfluxSettings& settings, std::string lines);

// What to keep from being printed: the password, the token, and the basic
// authentication's text that holds the password.
std::vector<std::string> InfluxSecrets(const TInfluxSettings& settings);

// 2xx is taken; no answer, 429 and 5xx are tried again later (so is an
// answer that is no server's: a redirection, a web page); every other answer
// (a field's type conflict, bad credentials, no such database) stops.
TVerdict ClassifyInfluxReply(TInfluxApi api, const THttpReply& reply);

} // namespace ostrel
