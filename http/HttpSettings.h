// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where the HTTP output listens and whom it lets in: the settings file's
// [HTTP] section once read. The output is off while the section is missing.

#include "settings/SettingsFile.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel {

inline constexpr std::string_view HttpSection = "HTTP";
inline constexpr std::string_view HttpListenKey = "Listen";
inline constexpr std::string_view HttpUserKey = "User";
inline constexpr std::string_view HttpPasswordKey = "Password";
inline constexpr const char* DefaultHttpListen = "127.0.0.1:8080";

// An address to listen on: a host (a name, IPv4, or IPv6 without its
// brackets) and a port.
struct THttpAddress {
    std::string Host;
    std::uint16_t Port = 0;
};

// "127.0.0.1:8080", "0.0.0.0:8080", "[::]:8080", "localhost:8080"; none
// for anything else (no port, port 0, brackets round IPv4, blanks).
std::optional<THttpAddress> ParseListenAddress(std::string_view text);
// Reachable from this machine only: 127.0.0.0/8, ::1, localhost.
bool IsLoopback(const std::string& host);

struct THttpSettings {
    THttpAddress Listen;
    std::string User; // empty: no password asked for
    std::string Password;
};

// The [HTTP] section; none when the file has no such section. A Listen
// that cannot be used gives the default and one line on diagnostics.
std::optional<THttpSettings> ReadHttpSettings(const TSettingsSection& section,
                                              std::ostream& diagnostics);

} // namespace ostrel
