// SPDX-License-Identifier: GPL-3.0-or-later
// What the serial ports of every system share: the rates and Windows' port
// names, which are plain text and so are tested everywhere.
#include "adapters/SerialPort.h"

#include <algorithm>
#include <optional>
#include <tuple>

namespace ostrel::adapters {

namespace {

// 3 for "COM3" or "com3"; none for any other name.
std::optional<unsigned long> ComNumber(const std::string& name) {
    // Beyond nine digits the number would not fit: such a name sorts by name.
    if (name.size() < 4 || name.size() > 12) {
        return std::nullopt;
    }
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (upper(name[0]) != 'C' || upper(name[1]) != 'O' || upper(name[2]) != 'M') {
        return std::nullopt;
    }
    unsigned long number = 0;
    for (std::size_t i = 3; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9') {
            return std::nullopt;
        }
        number = number * 10 + static_cast<unsigned long>(name[i] - '0');
    }
    return number;
}

} // namespace

bool IsSupportedBaud(int baud) {
    const std::vector<int> bauds = SupportedBauds();
    return std::find(bauds.begin(), bauds.end(), baud) != bauds.end();
}

std::string ComDevicePath(std::string_view name) {
    if (name.starts_with("\\\\")) {
        return std::string(name);
    }
    return "\\\\.\\" + std::string(name);
}

std::vector<std::string> ComPortsInOrder(std::vector<std::string> names) {
    // Numbered names first (false before true), then by number, then by name.
    const auto key = [](const std::string& name) {
        const std::optional<unsigned long> number = ComNumber(name);
        return std::make_tuple(!number.has_value(), number.value_or(0), name);
    };
    std::sort(names.begin(), names.end(),
              [&](const std::string& a, const std::string& b) { return key(a) < key(b); });
    names.erase(std::unique(names.begin(), names.end()), names.end());
    return names;
}

} // namespace ostrel::adapters
