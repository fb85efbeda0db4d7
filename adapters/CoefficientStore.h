// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The coefficient and background that the program keeps "in the counter",
// for counters that have no place for them: a small text file of the
// adapter's own, one line per serial port ("/dev/ttyUSB0 = 650 0").

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace ostrel::adapters {

struct TCoefficientPair {
    std::uint16_t Coefficient = 0; // units of 0.00001 uSv/h per CPM
    std::uint16_t Background = 0;  // CPM
    bool operator==(const TCoefficientPair&) const = default;
};

// The port's pair in the file's text; nothing when the port has no line or
// its line does not hold two numbers from 0 to 65535. Names are compared
// without the blanks and control characters around them (a CR of a file
// edited on Windows).
std::optional<TCoefficientPair> FindCoefficients(std::string_view text, std::string_view port);

// The text with the port's line set to the pair: replaced where it stands,
// else appended; every other line kept as it was.
std::string WithCoefficients(std::string_view text, std::string_view port, TCoefficientPair pair);

// The port's pair stored in the file, if any (a missing file has none).
std::optional<TCoefficientPair> ReadCoefficients(const std::filesystem::path& file,
                                                 std::string_view port);

// Stores the port's pair, creating the file and its folder when missing and
// replacing the file whole, so that a failure leaves the old one; a symlink
// keeps pointing at the file, which keeps its permissions. Throws
// std::runtime_error with the reason.
void WriteCoefficients(const std::filesystem::path& file, std::string_view port,
                       TCoefficientPair pair);

} // namespace ostrel::adapters
