// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpRequests.h"

#include <array>
#include <charconv>
#include <chrono>
#include <cstdio>

namespace ostrel {

namespace {

constexpr std::string_view Blanks = " \t";

std::string_view Trim(std::string_view text) {
    const auto first = text.find_first_not_of(Blanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(Blanks) - first + 1);
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t k = 0; k < a.size(); ++k) {
        if (Lower(a[k]) != Lower(b[k])) {
            return false;
        }
    }
    return true;
}

// A weight's text, "0" to "1" with at most three decimals, in thousandths.
std::optional<int> Weight(std::string_view text) {
    if (text.empty() || text.size() > 5 || (text[0] != '0' && text[0] != '1')) {
        return std::nullopt;
    }
    int thousandths = (text[0] - '0') * 1000;
    if (text.size() > 1) {
        if (text[1] != '.') {
            return std::nullopt;
        }
        int scale = 100;
        for (const char c : text.substr(2)) {
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            thousandths += (c - '0') * scale;
            scale /= 10;
        }
    }
    return thousandths <= 1000 ? std::optional<int>(thousandths) : std::nullopt;
}

// The weight of one item ("en-GB;q=0.8"); none when its parameters cannot
// be read.
std::optional<int> ItemWeight(std::string_view parameters) {
    int weight = 1000;
    while (!parameters.empty()) {
        const auto semicolon = parameters.find(';');
        const std::string_view parameter = Trim(parameters.substr(0, semicolon));
        parameters = semicolon == std::string_view::npos ? std::string_view()
                                                         : parameters.substr(semicolon + 1);
        if (parameter.size() >= 2 && Lower(parameter[0]) == 'q' && parameter[1] == '=') {
            const auto q = Weight(parameter.substr(2));
            if (!q) {
                return std::nullopt;
            }
            weight = *q;
        }
    }
    return weight;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    std::size_t padding = 0;
    for (const char c : text) {
        int value = -1;
        if (c >= 'A' && c <= 'Z') {
            value = c - 'A';
        } else if (c >= 'a' && c <= 'z') {
            value = c - 'a' + 26;
        } else if (c >= '0' && c <= '9') {
            value = c - '0' + 52;
        } else if (c == '+') {
            value = 62;
        } else if (c == '/') {
            value = 63;
        } else if (c == '=') {
            ++padding;
            continue;
        }
        if (value < 0 || padding > 0) {
            return std::nullopt;
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out.push_back(static_cast<char>((bits >> count) & 0xFF));
        }
    }
    if ((text.size() % 4) != 0 || padding > 2) {
        return std::nullopt;
    }
    return out;
}

// Equal texts, in a time that does not tell how much of them matched.
bool SameSecret(std::string_view a, std::string_view b) {
    unsigned difference = a.size() == b.size() ? 0U : 1U;
    for (std::size_t k = 0; k < a.size(); ++k) {
        difference |= static_cast<unsigned char>(a[k]) ^
                      static_cast<unsigned char>(b.empty() ? 0 : b[k % b.size()]);
    }
    return difference == 0;
}

// A fixed number of digits at text[at]; none when one is not a digit.
std::optional<int> Digits(std::string_view text, std::size_t at, std::size_t count) {
    if (at + count > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t k = at; k < at + count; ++k) {
        if (text[k] < '0' || text[k] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[k] - '0');
    }
    return value;
}

std::optional<std::int64_t> ParseIso(std::string_view text) {
    const auto year = Digits(text, 0, 4);
    const auto month = Digits(text, 5, 2);
    const auto day = Digits(text, 8, 2);
    const auto hour = Digits(text, 11, 2);
    const auto minute = Digits(text, 14, 2);
    if (!year || !month || !day || !hour || !minute || text[4] != '-' || text[7] != '-' ||
        text[10] != 'T' || text[13] != ':' || *hour > 23 || *minute > 59) {
        return std::nullopt;
    }
    std::size_t at = 16;
    int second = 0;
    if (at < text.size() && text[at] == ':') {
        const auto s = Digits(text, at + 1, 2);
        if (!s || *s > 59) {
            return std::nullopt;
        }
        second = *s;
        at += 3;
    }
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok() || at >= text.size()) {
        return std::nullopt;
    }
    int offset = 0;
    const std::string_view zone = text.substr(at);
    if (zone != "Z") {
        const auto zoneHours = Digits(zone, 1, 2);
        const auto zoneMinutes = Digits(zone, 4, 2);
        if (zone.size() != 6 || (zone[0] != '+' && zone[0] != '-') || zone[3] != ':' ||
            !zoneHours || !zoneMinutes || *zoneHours > 23 || *zoneMinutes > 59) {
            return std::nullopt;
        }
        offset = (zone[0] == '-' ? -1 : 1) * (*zoneHours * 3600 + *zoneMinutes * 60);
    }
    const std::int64_t days = std::chrono::sys_days(date).time_since_epoch().count();
    return days * 86400 + *hour * 3600 + *minute * 60 + second - offset;
}

} // namespace

THttpLanguage PageLanguage(std::string_view acceptLanguage) {
    THttpLanguage chosen = THttpLanguage::English;
    int best = 0;
    while (!acceptLanguage.empty()) {
        const auto comma = acceptLanguage.find(',');
        const std::string_view item = acceptLanguage.substr(0, comma);
        acceptLanguage =
            comma == std::string_view::npos ? std::string_view() : acceptLanguage.substr(comma + 1);
        const auto semicolon = item.find(';');
        const std::string_view tag = Trim(item.substr(0, semicolon));
        const std::string_view primary = tag.substr(0, tag.find('-'));
        const auto weight = ItemWeight(
            semicolon == std::string_view::npos ? std::string_view() : item.substr(semicolon + 1));
        if (!weight || *weight <= best) {
            continue;
        }
        if (SameLetters(primary, "ja")) {
            chosen = THttpLanguage::Japanese;
            best = *weight;
        } else if (SameLetters(primary, "en")) {
            chosen = THttpLanguage::English;
            best = *weight;
        }
    }
    return chosen;
}

bool Authorized(std::string_view authorization, std::string_view user, std::string_view password) {
    authorization = Trim(authorization);
    const auto space = authorization.find(' ');
    if (space == std::string_view::npos || !SameLetters(authorization.substr(0, space), "Basic")) {
        return false;
    }
    const auto decoded = DecodeBase64(Trim(authorization.substr(space + 1)));
    if (!decoded) {
        return false;
    }
    const auto colon = decoded->find(':');
    if (colon == std::string::npos) {
        return false;
    }
    const bool sameUser = SameSecret(std::string_view(*decoded).substr(0, colon), user);
    const bool samePassword = SameSecret(std::string_view(*decoded).substr(colon + 1), password);
    return sameUser && samePassword;
}

std::optional<std::int64_t> ParseInstant(std::string_view text) {
    if (!text.empty() && text.size() <= 12 && text.find_first_not_of("0123456789") == text.npos) {
        std::int64_t seconds = 0;
        std::from_chars(text.data(), text.data() + text.size(), seconds);
        return seconds;
    }
    return ParseIso(text);
}

std::string IsoUtc(std::int64_t seconds) {
    const std::int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
    const std::int64_t rest = seconds - days * 86400;
    const std::chrono::year_month_day date{
        std::chrono::sys_days(std::chrono::days(static_cast<int>(days)))};
    std::array<char, 32> text{};
    std::snprintf(text.data(), text.size(), "%04d-%02u-%02uT%02d:%02d:%02dZ",
                  static_cast<int>(date.year()), static_cast<unsigned>(date.month()),
                  static_cast<unsigned>(date.day()), static_cast<int>(rest / 3600),
                  static_cast<int>(rest / 60 % 60), static_cast<int>(rest % 60));
    return text.data();
}

TMinutesQueryResult ReadMinutesQuery(const TMinutesQueryText& text, std::int64_t now) {
    TMinutesQuery query;
    query.To = now;
    if (text.To) {
        const auto to = ParseInstant(*text.To);
        if (!to) {
            return {std::nullopt, "to: not an instant"};
        }
        query.To = *to;
    }
    query.From = query.To - 86400;
    if (text.From) {
        const auto from = ParseInstant(*text.From);
        if (!from) {
            return {std::nullopt, "from: not an instant"};
        }
        query.From = *from;
    }
    if (text.Limit) {
        std::size_t limit = 0;
        const std::string& limitText = *text.Limit;
        const auto [end, error] =
            std::from_chars(limitText.data(), limitText.data() + limitText.size(), limit);
        if (error != std::errc() || end != limitText.data() + limitText.size() || limit == 0 ||
            limit > MaxMinutesPerAnswer) {
            return {std::nullopt, "limit: a number from 1 to 10080"};
        }
        query.Limit = limit;
    }
    if (text.Format) {
        if (*text.Format != "csv" && *text.Format != "json") {
            return {std::nullopt, "format: json or csv"};
        }
        query.Csv = *text.Format == "csv";
    }
    return {query, {}};
}

} // namespace ostrel
