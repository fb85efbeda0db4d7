// SPDX-License-Identifier: GPL-3.0-or-later
#include "http/HttpSettings.h"

#include <algorithm>
#include <charconv>

namespace ostrel {

namespace {

bool IsHostCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '-' || c == ':' || c == '_';
}

} // namespace

std::optional<THttpAddress> ParseListenAddress(std::string_view text) {
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) {
        return std::nullopt;
    }
    std::string_view host = text.substr(0, colon);
    const std::string_view portText = text.substr(colon + 1);
    const bool bracketed = host.front() == '[';
    if (bracketed) {
        if (host.size() < 3 || host.back() != ']') {
            return std::nullopt;
        }
        host = host.substr(1, host.size() - 2);
    }
    // An IPv6 address needs its brackets, and only it has them.
    if ((host.find(':') != std::string_view::npos) != bracketed ||
        !std::all_of(host.begin(), host.end(), IsHostCharacter)) {
        return std::nullopt;
    }
    unsigned port = 0;
    const auto [end, error] =
        std::from_chars(portText.data(), portText.data() + portText.size(), port);
    if (error != std::errc() || end != portText.data() + portText.size() || port == 0 ||
        port > 65535) {
        return std::nullopt;
    }
    return THttpAddress{std::string(host), static_cast<std::uint16_t>(port)};
}

bool IsLoopback(const std::string& host) {
    return host == "localhost" || host == "::1" || host.rfind("127.", 0) == 0;
}

std::optional<THttpSettings> ReadHttpSettings(const TSettingsSection& section,
                                              std::ostream& diagnostics) {
    if (!section.Exists()) {
        return std::nullopt;
    }
    THttpSettings settings;
    settings.Listen = *ParseListenAddress(DefaultHttpListen);
    const std::string listen = section.Read(HttpListenKey);
    if (!listen.empty()) {
        if (const auto address = ParseListenAddress(listen)) {
            settings.Listen = *address;
        } else {
            section.TellDefault(diagnostics, HttpListenKey, listen, DefaultHttpListen);
        }
    }
    settings.User = section.Read(HttpUserKey);
    settings.Password = section.Read(HttpPasswordKey);
    return settings;
}

} // namespace ostrel
