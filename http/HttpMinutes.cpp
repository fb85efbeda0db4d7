// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpMinutes.h"

#include "http/HttpRequests.h"
#include "platform/FormatSettings.h"
#include "platform/TextServices.h"

#include <cmath>
#include <cstdio>

namespace ostrel {

std::string LineLabel(std::string_view line) {
    const auto first = line.find(", ");
    const auto second = first == std::string_view::npos ? first : line.find(", ", first + 2);
    return std::string(line.substr(0, second));
}

std::string JsonText(std::string_view text) {
    std::string json = "\"";
    for (const char c : text) {
        if (c == '"' || c == '\\') {
            json += '\\';
            json += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
            json += escape;
        } else {
            json += c;
        }
    }
    return json + "\"";
}

std::string DecimalText(double value) {
    return FloatToStr(value, TFormatSettings{});
}

std::string MinuteJson(const THttpMinute& minute) {
    std::string json = "{\"utc\":";
    json += minute.Utc ? "\"" + IsoUtc(*minute.Utc) + "\"" : "null";
    json += ",\"label\":" + JsonText(minute.Label);
    json += ",\"count\":" + std::to_string(minute.Count);
    // JSON has no text for a number that is not finite.
    json += ",\"usvh\":";
    json +=
        minute.DoseRate && std::isfinite(*minute.DoseRate) ? DecimalText(*minute.DoseRate) : "null";
    return json + "}";
}

std::string MinutesJson(std::span<const THttpMinute> minutes,
                        const std::optional<std::string>& next) {
    std::string json = "{\"minutes\":[";
    for (std::size_t k = 0; k < minutes.size(); ++k) {
        json += (k == 0 ? "" : ",") + MinuteJson(minutes[k]);
    }
    json += "],\"next\":";
    json += next ? JsonText(*next) : "null";
    return json + "}";
}

std::string MinutesCsv(std::span<const THttpMinute> minutes) {
    std::string csv = "utc,label,count,usvh\r\n";
    for (const THttpMinute& minute : minutes) {
        csv += minute.Utc ? IsoUtc(*minute.Utc) : "";
        csv += ",\"" + minute.Label + "\"," + std::to_string(minute.Count) + ",";
        csv +=
            minute.DoseRate && std::isfinite(*minute.DoseRate) ? DecimalText(*minute.DoseRate) : "";
        csv += "\r\n";
    }
    return csv;
}

} // namespace ostrel
