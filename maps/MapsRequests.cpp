// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsRequests.h"

#include "platform/FormatSettings.h"
#include "platform/TextServices.h"

#include <cmath>
#include <cstdio>

namespace ostrel {

namespace {

bool IsUnreserved(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_' || c == '~';
}

std::string Parameter(std::string_view name, std::string_view value) {
    return PercentEncode(name) + "=" + PercentEncode(value);
}

// The date of a count of days since 1970-01-01, proleptic Gregorian (H.
// Hinnant's civil_from_days), so that no gmtime is needed.
struct TCivil {
    long long Year;
    unsigned Month;
    unsigned Day;
};

TCivil CivilFromDays(long long days) {
    days += 719468;
    const long long era = (days >= 0 ? days : days - 146096) / 146097;
    const auto dayOfEra = static_cast<unsigned>(days - era * 146097);
    const unsigned yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const unsigned shifted = (5 * dayOfYear + 2) / 153;
    const unsigned day = dayOfYear - (153 * shifted + 2) / 5 + 1;
    const unsigned month = shifted < 10 ? shifted + 3 : shifted - 9;
    return {static_cast<long long>(yearOfEra) + era * 400 + (month <= 2 ? 1 : 0), month, day};
}

} // namespace

std::string PercentEncode(std::string_view text) {
    static constexpr char Hex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(text.size());
    for (const char c : text) {
        if (IsUnreserved(c)) {
            encoded += c;
        } else {
            const auto byte = static_cast<unsigned char>(c);
            encoded += '%';
            encoded += Hex[byte >> 4];
            encoded += Hex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string PrintableUrl(std::string_view url) {
    url = url.substr(0, url.find_first_of("?#"));
    const std::size_t scheme = url.find("://");
    const std::size_t hostStart = scheme == std::string_view::npos ? 0 : scheme + 3;
    const std::size_t hostEnd = std::min(url.find('/', hostStart), url.size());
    const std::size_t at = url.substr(0, hostEnd).rfind('@');
    if (at == std::string_view::npos || at < hostStart) {
        return std::string(url);
    }
    return std::string(url.substr(0, hostStart)) + std::string(url.substr(at + 1));
}

std::string MaskSecrets(std::string text, const std::vector<std::string>& secrets) {
    for (const std::string& secret : secrets) {
        if (secret.empty()) {
            continue;
        }
        for (const std::string& form : {secret, PercentEncode(secret)}) {
            for (std::size_t at = text.find(form); at != std::string::npos;
                 at = text.find(form, at + 3)) {
                text.replace(at, form.size(), "***");
            }
        }
    }
    // A secret with stars in it can be made again by the stars put in its
    // place: then nothing of the text is shown.
    for (const std::string& secret : secrets) {
        if (!secret.empty() && text.find(secret) != std::string::npos) {
            return {};
        }
    }
    return text;
}

std::optional<std::string> UtcText(std::int64_t utcSeconds) {
    const auto total = static_cast<long long>(utcSeconds);
    const long long days = total >= 0 ? total / 86400 : (total - 86399) / 86400;
    const long long inDay = total - days * 86400;
    const TCivil date = CivilFromDays(days);
    if (date.Year < 1 || date.Year > 9999) {
        return std::nullopt;
    }
    const int second = static_cast<int>(inDay);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(date.Year),
                  date.Month, date.Day, second / 3600, second / 60 % 60, second % 60);
    return std::string(text);
}

std::string NumberText(double value) {
    return FloatToStr(value, TFormatSettings{});
}

TMapsRequest RadmonRequest(const TRadmonSettings& settings, std::int32_t count) {
    return {settings.Url + RadmonPath + "?function=submit&" + Parameter("user", settings.User) +
                "&" + Parameter("password", settings.Password) + "&value=" + FormatInt(count) +
                "&unit=CPM",
            ""};
}

TMapsRequest GmcmapRequest(const TGmcmapSettings& settings, std::int32_t count, double averageCpm,
                           std::optional<double> doseRate) {
    std::string url = settings.Url + GmcmapPath + "?" + Parameter("AID", settings.AccountId) + "&" +
                      Parameter("GID", settings.GeigerId) + "&CPM=" + FormatInt(count) +
                      "&ACPM=" + NumberText(std::round(averageCpm * 100) / 100);
    if (doseRate && std::isfinite(*doseRate)) {
        url += "&uSV=" + NumberText(*doseRate);
    }
    return {url, ""};
}

TMapsRequest SafecastRequest(const TSafecastSettings& settings, std::string_view capturedAt,
                             std::int32_t count) {
    std::string body = Parameter("measurement[latitude]", NumberText(settings.Latitude)) + "&" +
                       Parameter("measurement[longitude]", NumberText(settings.Longitude)) + "&" +
                       Parameter("measurement[value]", FormatInt(count)) + "&" +
                       Parameter("measurement[unit]", "cpm") + "&" +
                       Parameter("measurement[captured_at]", capturedAt);
    if (!settings.DeviceId.empty()) {
        body += "&" + Parameter("measurement[device_id]", settings.DeviceId);
    }
    if (!settings.LocationName.empty()) {
        body += "&" + Parameter("measurement[location_name]", settings.LocationName);
    }
    return {settings.Url + SafecastPath + "?" + Parameter("api_key", settings.ApiKey),
            std::move(body)};
}

const char* const SoftwareVersion = "Ostrel " OSTREL_VERSION;

// As the network's radiation stations send it: the body of
// json_format_radiation and the headers of prepare_http and
// send_http_geiger in ecocurious2/MultiGeiger, multigeiger/transmission.cpp
// (X-PIN 19 is XPIN_RADIATION in multigeiger/transmission.h). Every value
// goes as a string there; so here.
TMapsRequest SensorCommunityRequest(const TSensorCommunitySettings& settings, std::int32_t count) {
    const auto value = [](std::string_view type, const std::string& text) {
        return "{\"value_type\": \"" + std::string(type) + "\", \"value\": \"" + text + "\"}";
    };
    std::string body =
        std::string("{\"software_version\": \"") + SoftwareVersion +
        "\", \"tube_type\": \"Radiation " + settings.Tube + "\", \"sensordatavalues\": [" +
        value("counts_per_minute", FormatInt(count)) + ", " + value("hv_pulses", "0") + ", " +
        value("counts", FormatInt(count)) + ", " + value("sample_time_ms", "60000") + "]}";
    return {settings.Url,
            std::move(body),
            {"Content-Type: application/json", "X-Pin: 19", "X-Sensor: " + settings.Sensor}};
}

} // namespace ostrel
