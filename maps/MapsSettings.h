// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where finished minutes go on the radiation maps: the settings file's
// [Radmon], [GMCmap], [Safecast] and [SensorCommunity] sections once read, every default
// already applied. The program reads them once at start-up and never writes
// them.

#include "settings/SettingsFile.h"

#include <chrono>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view RadmonSection = "Radmon";
inline constexpr std::string_view GmcmapSection = "GMCmap";
inline constexpr std::string_view SafecastSection = "Safecast";
inline constexpr std::string_view SensorCommunitySection = "SensorCommunity";
inline constexpr std::string_view MapsUrlKey = "URL";
inline constexpr std::string_view MapsIntervalKey = "Interval";
inline constexpr std::string_view RadmonUserKey = "User";
inline constexpr std::string_view RadmonPasswordKey = "Password";
inline constexpr std::string_view GmcmapAccountKey = "AccountID";
inline constexpr std::string_view GmcmapGeigerKey = "GeigerID";
inline constexpr std::string_view SafecastKeyKey = "APIKey";
inline constexpr std::string_view SafecastLatitudeKey = "Latitude";
inline constexpr std::string_view SafecastLongitudeKey = "Longitude";
inline constexpr std::string_view SafecastDeviceKey = "DeviceID";
inline constexpr std::string_view SafecastLocationKey = "LocationName";
inline constexpr std::string_view SensorCommunitySensorKey = "Sensor";
inline constexpr std::string_view SensorCommunityTubeKey = "Tube";

inline constexpr const char* DefaultRadmonUrl = "https://radmon.org";
inline constexpr const char* DefaultGmcmapUrl = "https://www.gmcmap.com";
inline constexpr const char* DefaultSafecastUrl = "https://api.safecast.org";
inline constexpr const char* DefaultSensorCommunityUrl =
    "https://api.sensor.community/v1/push-sensor-data/";
// The network's own stations send every 150 s.
inline constexpr int DefaultSensorCommunityInterval = 3;
// Minutes between two values; a day at most.
inline constexpr int DefaultMapsInterval = 1;
inline constexpr int LongestMapsInterval = 1440;

// How long a request may take. Not in the settings file: the tests shorten
// them.
struct THttpTimeouts {
    std::chrono::milliseconds Connect{10'000};
    std::chrono::milliseconds Whole{30'000};
};

struct TRadmonSettings {
    std::string User;
    std::string Password; // radmon.org's password for sending data
    std::string Url = DefaultRadmonUrl;
    int Interval = DefaultMapsInterval;
    THttpTimeouts Timeouts;
};

struct TGmcmapSettings {
    std::string AccountId;
    std::string GeigerId;
    std::string Url = DefaultGmcmapUrl;
    int Interval = DefaultMapsInterval;
    THttpTimeouts Timeouts;
};

struct TSafecastSettings {
    std::string ApiKey;
    double Latitude = 0;
    double Longitude = 0;
    std::string DeviceId; // empty: not sent
    std::string LocationName;
    std::string Url = DefaultSafecastUrl;
    THttpTimeouts Timeouts;
};

struct TSensorCommunitySettings {
    std::string Sensor; // as the network registered the station: "esp8266-12345678"
    std::string Tube;   // one of SensorCommunityTubes
    std::string Url = DefaultSensorCommunityUrl;
    int Interval = DefaultSensorCommunityInterval;
    THttpTimeouts Timeouts;
};

// The tubes the network's radiation stations name ("Radiation SBM-20"): the
// table tubes[] of ecocurious2/MultiGeiger, multigeiger/tube.cpp.
inline constexpr std::string_view SensorCommunityTubes[] = {"SBM-20", "SBM-19", "Si22G"};

// The section's URL= as an http or https address with a host, without its
// trailing slashes, so that the paths of the requests follow it; fallback,
// with one line on diagnostics that shows no password, when it is not one.
std::string ReadServiceUrl(const TSettingsSection& section, const std::string& fallback,
                           std::ostream& diagnostics);

// Each section turns its service on. None when the section is missing or
// empty; also none, with one line on diagnostics, when a key the service
// cannot do without is missing or unusable. Other values that cannot be used
// give their default and one line on diagnostics.
std::optional<TRadmonSettings> ReadRadmonSettings(const TSettingsSection& section,
                                                  std::ostream& diagnostics);
std::optional<TGmcmapSettings> ReadGmcmapSettings(const TSettingsSection& section,
                                                  std::ostream& diagnostics);
std::optional<TSafecastSettings> ReadSafecastSettings(const TSettingsSection& section,
                                                      std::ostream& diagnostics);
std::optional<TSensorCommunitySettings> ReadSensorCommunitySettings(const TSettingsSection& section,
                                                                    std::ostream& diagnostics);

} // namespace ostrel
