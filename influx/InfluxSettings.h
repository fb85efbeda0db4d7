// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where finished minutes go in a time-series database that takes InfluxDB's
// line protocol: the settings file's [InfluxDB] section once read, every
// default already applied. Read once at start-up, never written.

#include "maps/MapsSettings.h"
#include "settings/SettingsFile.h"

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view InfluxSection = "InfluxDB";
inline constexpr std::string_view InfluxUrlKey = "URL";
inline constexpr std::string_view InfluxDatabaseKey = "Database";
inline constexpr std::string_view InfluxUserKey = "User";
inline constexpr std::string_view InfluxPasswordKey = "Password";
inline constexpr std::string_view InfluxOrgKey = "Org";
inline constexpr std::string_view InfluxBucketKey = "Bucket";
inline constexpr std::string_view InfluxTokenKey = "Token";

inline constexpr const char* DefaultInfluxUrl = "http://localhost:8086";

// InfluxDB 1.x's /write (a database) or 2.x's /api/v2/write (an
// organization's bucket).
enum class TInfluxApi { V1, V2 };

struct TInfluxSettings {
    TInfluxApi Api = TInfluxApi::V1;
    std::string Url = DefaultInfluxUrl;
    std::string Database; // 1.x
    std::string User;     // 1.x, empty: no credentials sent
    std::string Password;
    std::string Org; // 2.x
    std::string Bucket;
    std::string Token; // 2.x, empty: none sent
    THttpTimeouts Timeouts;
};

// None when the section is missing or names none of its keys; also none,
// with one line on diagnostics, when it names neither a database nor a
// bucket, or both, or a 2.x bucket without its organization, or a password
// without its user. A URL that cannot be used gives the default and a line.
std::optional<TInfluxSettings> ReadInfluxSettings(const TSettingsSection& section,
                                                  std::ostream& diagnostics);

} // namespace ostrel
