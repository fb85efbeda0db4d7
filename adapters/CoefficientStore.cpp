// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/CoefficientStore.h"

#include "device/FileReplacement.h"
#include "device/Text.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace ostrel::adapters {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view NewFileHeading =
    "# Ostrel counter adapter: coefficient (0.00001 uSv/h per CPM) and background (CPM)\n"
    "# of the counter on each serial port.\n";

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

// The port named by a line, when it is "port = value". A comment ("#" first)
// names no port the configuration can give, which has no blanks in its
// names, unless that port's own name starts with "#" (possible from the
// environment): its line must read back, or each write would add another.
std::optional<std::string_view> LinePort(std::string_view line) {
    const std::string_view content = Trimmed(line);
    if (content.empty()) {
        return std::nullopt;
    }
    const std::size_t equals = content.rfind('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return Trimmed(content.substr(0, equals));
}

std::optional<std::uint16_t> TakeNumber(std::string_view& text) {
    text = Trimmed(text);
    std::uint16_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr == text.data()) {
        return std::nullopt;
    }
    text.remove_prefix(static_cast<std::size_t>(result.ptr - text.data()));
    return value;
}

std::optional<TCoefficientPair> ParsePair(std::string_view text) {
    const std::optional<std::uint16_t> coefficient = TakeNumber(text);
    if (!coefficient || text.empty() || !IsBlankOrControl(text.front())) {
        return std::nullopt;
    }
    const std::optional<std::uint16_t> background = TakeNumber(text);
    if (!background || !Trimmed(text).empty()) {
        return std::nullopt;
    }
    return TCoefficientPair{*coefficient, *background};
}

std::string LineOf(std::string_view port, TCoefficientPair pair) {
    return std::string(port) + " = " + std::to_string(pair.Coefficient) + " " +
           std::to_string(pair.Background);
}

} // namespace

std::optional<TCoefficientPair> FindCoefficients(std::string_view text, std::string_view port) {
    port = Trimmed(port);
    for (const std::string_view line : Lines(text)) {
        const std::optional<std::string_view> name = LinePort(line);
        if (name && *name == port) {
            const std::string_view content = Trimmed(line);
            return ParsePair(content.substr(content.rfind('=') + 1));
        }
    }
    return std::nullopt;
}

std::string WithCoefficients(std::string_view text, std::string_view port, TCoefficientPair pair) {
    // The file's names are read trimmed: blanks around one would not read back.
    port = Trimmed(port);
    std::string result;
    bool replaced = false;
    for (const std::string_view line : Lines(text)) {
        const std::optional<std::string_view> name = LinePort(line);
        if (!replaced && name && *name == port) {
            result += LineOf(port, pair);
            replaced = true;
        } else {
            result += line;
        }
        result += '\n';
    }
    if (!replaced) {
        if (text.empty()) {
            result = NewFileHeading;
        }
        result += LineOf(port, pair) + "\n";
    }
    return result;
}

std::optional<TCoefficientPair> ReadCoefficients(const fs::path& file, std::string_view port) {
    std::ifstream input(file, std::ios::binary);
    if (!input) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << input.rdbuf();
    return FindCoefficients(text.str(), port);
}

void WriteCoefficients(const fs::path& file, std::string_view port, TCoefficientPair pair) {
    std::error_code error;
    if (file.has_parent_path()) {
        fs::create_directories(file.parent_path(), error);
        if (error) {
            throw std::runtime_error(file.parent_path().string() + ": " + error.message());
        }
    }
    std::string old;
    if (fs::exists(file, error)) {
        std::ifstream input(file, std::ios::binary);
        if (!input) {
            throw std::runtime_error(file.string() + ": cannot be read");
        }
        std::ostringstream text;
        text << input.rdbuf();
        old = text.str();
    }
    error = ReplaceFileContent(file, WithCoefficients(old, port, pair));
    if (error) {
        throw std::runtime_error(file.string() + ": " + error.message());
    }
}

} // namespace ostrel::adapters
