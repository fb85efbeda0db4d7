// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The requests each map service takes, as its public documents describe
// them, and the texts around them: percent-encoding, a minute's start in UTC,
// an address fit to be printed. No network here.

#include "maps/MapsSettings.h"
#include "platform/DateTime.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

struct TMapsRequest {
    std::string Url;  // with its query, which may hold a password: never printed
    std::string Body; // set: a POST of these bytes; empty: a GET
    // "Name: value" lines beside curl's own; a form POST needs none.
    std::vector<std::string> Headers{};
};

// Every byte but the unreserved ones of RFC 3986 as %XX.
std::string PercentEncode(std::string_view text);

// The address without what may be secret: no user name or password before
// the host, no query, no fragment.
std::string PrintableUrl(std::string_view url);

// text with every occurrence of each non-empty secret, as written and
// percent-encoded, replaced by "***"; empty when it would still hold one.
std::string MaskSecrets(std::string text, const std::vector<std::string>& secrets);

// "2026-12-09T06:23:00Z": an instant, in seconds since 1970-01-01 UTC. None
// outside the years 1 to 9999.
std::optional<std::string> UtcText(std::int64_t utcSeconds);

// A number as the services read it: "." as decimal point, at most 15
// significant digits.
std::string NumberText(double value);

// The path each request goes to, after the base address.
inline constexpr const char* RadmonPath = "/radmon.php";
inline constexpr const char* GmcmapPath = "/log2.asp";
inline constexpr const char* SafecastPath = "/measurements.json";

// "Ostrel <version>", as sensor.community's software_version.
extern const char* const SoftwareVersion;

// GET radmon.php?function=submit&user=U&password=P&value=CPM&unit=CPM.
TMapsRequest RadmonRequest(const TRadmonSettings& settings, std::int32_t count);
// GET log2.asp?AID=A&GID=G&CPM=c&ACPM=a&uSV=d; uSV only with a dose rate.
TMapsRequest GmcmapRequest(const TGmcmapSettings& settings, std::int32_t count, double averageCpm,
                           std::optional<double> doseRate);
// POST measurements.json?api_key=K with the measurement's fields, the unit
// cpm, device and location name only when set.
TMapsRequest SafecastRequest(const TSafecastSettings& settings, std::string_view capturedAt,
                             std::int32_t count);
// POST of the JSON sensor.community's radiation stations send: one minute's
// count as counts_per_minute and counts over sample_time_ms 60000, no
// hv_pulses of a tube's supply here (0), with the X-Sensor and X-Pin
// headers.
TMapsRequest SensorCommunityRequest(const TSensorCommunitySettings& settings, std::int32_t count);

} // namespace ostrel
