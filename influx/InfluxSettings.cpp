// SPDX-License-Identifier: GPL-3.0-or-later
#include "influx/InfluxSettings.h"

#include <initializer_list>
#include <ostream>

namespace ostrel {

namespace {

// "ostrel: [InfluxDB] <what>; nothing is sent to InfluxDB".
std::nullopt_t Off(std::ostream& diagnostics, const TSettingsSection& section,
                   std::string_view what) {
    diagnostics << "ostrel: [" << section.Name() << "] " << what << "; nothing is sent to InfluxDB"
                << std::endl;
    return std::nullopt;
}

} // namespace

std::optional<TInfluxSettings> ReadInfluxSettings(const TSettingsSection& section,
                                                  std::ostream& diagnostics) {
    bool named = false;
    for (const std::string_view key :
         {InfluxUrlKey, InfluxDatabaseKey, InfluxUserKey, InfluxPasswordKey, InfluxOrgKey,
          InfluxBucketKey, InfluxTokenKey}) {
        named = named || section.Find(key).has_value();
    }
    if (!named) {
        return std::nullopt;
    }
    TInfluxSettings settings;
    settings.Database = section.Read(InfluxDatabaseKey);
    settings.Bucket = section.Read(InfluxBucketKey);
    if (settings.Database.empty() == settings.Bucket.empty()) {
        return Off(diagnostics, section,
                   settings.Database.empty()
                       ? "Database= (InfluxDB 1.x) or Bucket= (2.x) is missing"
                       : "Database= (InfluxDB 1.x) and Bucket= (2.x) are both given");
    }
    if (!settings.Bucket.empty()) {
        settings.Api = TInfluxApi::V2;
        settings.Org = section.Read(InfluxOrgKey);
        settings.Token = section.Read(InfluxTokenKey);
        if (settings.Org.empty()) {
            return Off(diagnostics, section, "Org= is missing");
        }
    } else {
        settings.User = section.Read(InfluxUserKey);
        settings.Password = section.Read(InfluxPasswordKey);
        if (settings.User.empty() && !settings.Password.empty()) {
            return Off(diagnostics, section, "User= is missing");
        }
    }
    settings.Url = ReadServiceUrl(section, DefaultInfluxUrl, diagnostics);
    return settings;
}

} // namespace ostrel
