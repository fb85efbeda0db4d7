// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsSettings.h"

#include "maps/MapsRequests.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <iterator>
#include <ostream>

namespace ostrel {

namespace {

void TellOff(std::ostream& diagnostics, const TSettingsSection& section, std::string_view key,
             const std::string& why, std::string_view service) {
    diagnostics << "ostrel: [" << section.Name() << "] " << key << "= " << why
                << "; nothing is sent to " << service << std::endl;
}

// A section that names none of its keys is as good as missing: it turns
// nothing on, and says nothing.
bool NamesAny(const TSettingsSection& section, std::initializer_list<std::string_view> keys) {
    for (const std::string_view key : keys) {
        if (section.Find(key)) {
            return true;
        }
    }
    return false;
}

std::optional<std::string> ReadRequired(const TSettingsSection& section, std::string_view key,
                                        std::string_view service, std::ostream& diagnostics) {
    std::string text = section.Read(key);
    if (text.empty()) {
        TellOff(diagnostics, section, key, "is missing", service);
        return std::nullopt;
    }
    return text;
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
    if (text.size() < start.size()) {
        return false;
    }
    for (std::size_t k = 0; k < start.size(); ++k) {
        const char c = text[k] >= 'A' && text[k] <= 'Z' ? static_cast<char>(text[k] + 32) : text[k];
        if (c != start[k]) {
            return false;
        }
    }
    return true;
}

std::optional<double> ReadDegrees(const TSettingsSection& section, std::string_view key,
                                  double limit, std::ostream& diagnostics) {
    const std::optional<std::string> text = ReadRequired(section, key, "Safecast", diagnostics);
    if (!text) {
        return std::nullopt;
    }
    const std::optional<double> degrees = DecimalNumber(*text);
    if (!degrees || std::fabs(*degrees) > limit) {
        TellOff(diagnostics, section, key,
                *text + " is not a number from -" + NumberText(limit) + " to " + NumberText(limit),
                "Safecast");
        return std::nullopt;
    }
    return *degrees;
}

bool IsDigits(std::string_view text) {
    return !text.empty() && text.size() <= 9 &&
           text.find_first_not_of("0123456789") == std::string_view::npos;
}

} // namespace

std::string ReadServiceUrl(const TSettingsSection& section, const std::string& fallback,
                           std::ostream& diagnostics) {
    std::string text = section.Read(MapsUrlKey);
    if (text.empty()) {
        return fallback;
    }
    const std::size_t hostStart = StartsWithNoCase(text, "https://")  ? 8
                                  : StartsWithNoCase(text, "http://") ? 7
                                                                      : 0;
    const bool blank = text.find_first_of(" \t") != std::string::npos;
    if (hostStart == 0 || text.size() == hostStart || text[hostStart] == '/' || blank ||
        text.find_first_of("?#") != std::string::npos) {
        // Printed without what may be a password in it.
        section.TellDefault(diagnostics, MapsUrlKey, PrintableUrl(text), fallback);
        return fallback;
    }
    while (text.back() == '/') {
        text.pop_back();
    }
    return text;
}

std::optional<TRadmonSettings> ReadRadmonSettings(const TSettingsSection& section,
                                                  std::ostream& diagnostics) {
    if (!NamesAny(section, {RadmonUserKey, RadmonPasswordKey, MapsUrlKey, MapsIntervalKey})) {
        return std::nullopt;
    }
    TRadmonSettings settings;
    const auto user = ReadRequired(section, RadmonUserKey, "radmon.org", diagnostics);
    const auto password = ReadRequired(section, RadmonPasswordKey, "radmon.org", diagnostics);
    if (!user || !password) {
        return std::nullopt;
    }
    settings.User = *user;
    settings.Password = *password;
    settings.Url = ReadServiceUrl(section, DefaultRadmonUrl, diagnostics);
    settings.Interval = section.ReadInterval(MapsIntervalKey, LongestMapsInterval,
                                             DefaultMapsInterval, diagnostics);
    return settings;
}

std::optional<TGmcmapSettings> ReadGmcmapSettings(const TSettingsSection& section,
                                                  std::ostream& diagnostics) {
    if (!NamesAny(section, {GmcmapAccountKey, GmcmapGeigerKey, MapsUrlKey, MapsIntervalKey})) {
        return std::nullopt;
    }
    TGmcmapSettings settings;
    const auto account = ReadRequired(section, GmcmapAccountKey, "gmcmap.com", diagnostics);
    const auto geiger = ReadRequired(section, GmcmapGeigerKey, "gmcmap.com", diagnostics);
    if (!account || !geiger) {
        return std::nullopt;
    }
    settings.AccountId = *account;
    settings.GeigerId = *geiger;
    settings.Url = ReadServiceUrl(section, DefaultGmcmapUrl, diagnostics);
    settings.Interval = section.ReadInterval(MapsIntervalKey, LongestMapsInterval,
                                             DefaultMapsInterval, diagnostics);
    return settings;
}

std::optional<TSafecastSettings> ReadSafecastSettings(const TSettingsSection& section,
                                                      std::ostream& diagnostics) {
    if (!NamesAny(section, {SafecastKeyKey, SafecastLatitudeKey, SafecastLongitudeKey,
                            SafecastDeviceKey, SafecastLocationKey, MapsUrlKey})) {
        return std::nullopt;
    }
    TSafecastSettings settings;
    const auto key = ReadRequired(section, SafecastKeyKey, "Safecast", diagnostics);
    const auto latitude = ReadDegrees(section, SafecastLatitudeKey, 90, diagnostics);
    const auto longitude = ReadDegrees(section, SafecastLongitudeKey, 180, diagnostics);
    if (!key || !latitude || !longitude) {
        return std::nullopt;
    }
    settings.ApiKey = *key;
    settings.Latitude = *latitude;
    settings.Longitude = *longitude;
    settings.DeviceId = section.Read(SafecastDeviceKey);
    if (!settings.DeviceId.empty() && !IsDigits(settings.DeviceId)) {
        section.TellDefault(diagnostics, SafecastDeviceKey, settings.DeviceId, "none");
        settings.DeviceId.clear();
    }
    settings.LocationName = section.Read(SafecastLocationKey);
    settings.Url = ReadServiceUrl(section, DefaultSafecastUrl, diagnostics);
    return settings;
}

namespace {

// What the network's station names are made of ("esp8266-12345678",
// "raspi-..."): they go in a header, so nothing else.
bool IsSensorName(std::string_view text) {
    return text.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"
                                  "0123456789-_") == std::string_view::npos;
}

bool IsKnownTube(std::string_view text) {
    return std::find(std::begin(SensorCommunityTubes), std::end(SensorCommunityTubes), text) !=
           std::end(SensorCommunityTubes);
}

} // namespace

std::optional<TSensorCommunitySettings> ReadSensorCommunitySettings(const TSettingsSection& section,
                                                                    std::ostream& diagnostics) {
    if (!NamesAny(section, {SensorCommunitySensorKey, SensorCommunityTubeKey, MapsUrlKey,
                            MapsIntervalKey})) {
        return std::nullopt;
    }
    const char* const service = "sensor.community";
    const auto sensor = ReadRequired(section, SensorCommunitySensorKey, service, diagnostics);
    const auto tube = ReadRequired(section, SensorCommunityTubeKey, service, diagnostics);
    if (!sensor || !tube) {
        return std::nullopt;
    }
    if (!IsSensorName(*sensor)) {
        section.TellUnusable(diagnostics, SensorCommunitySensorKey, *sensor,
                             "nothing is sent to sensor.community");
        return std::nullopt;
    }
    if (!IsKnownTube(*tube)) {
        section.TellUnusable(diagnostics, SensorCommunityTubeKey, *tube,
                             "the network knows SBM-20, SBM-19 and Si22G; nothing is sent to "
                             "sensor.community");
        return std::nullopt;
    }
    TSensorCommunitySettings settings;
    settings.Sensor = *sensor;
    settings.Tube = *tube;
    settings.Url = ReadServiceUrl(section, DefaultSensorCommunityUrl, diagnostics);
    // The address is the whole endpoint, whose slash the network's stations
    // keep.
    if (settings.Url != DefaultSensorCommunityUrl && section.Read(MapsUrlKey).ends_with('/')) {
        settings.Url += '/';
    }
    settings.Interval = section.ReadInterval(MapsIntervalKey, LongestMapsInterval,
                                             DefaultSensorCommunityInterval, diagnostics);
    return settings;
}

} // namespace ostrel
