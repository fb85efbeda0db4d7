// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/LineProtocol.h"

#include "device/Text.h"

#include <charconv>
#include <vector>

namespace ostrel::adapters {

namespace {

constexpr std::string_view CountsPerSecondField = "CPS";

// Any other control character makes a line garbage, so it is no blank here.
std::string_view Trimmed(std::string_view text) {
    return ostrel::Trimmed(text, IsSpaceOrTab);
}

bool IsPrintable(std::string_view text) {
    for (const char c : text) {
        if ((c < 0x20 || c > 0x7E) && c != '\t') {
            return false;
        }
    }
    return true;
}

bool SameLetters(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// Decimal digits only: no sign, no point, no blank inside.
std::optional<std::uint16_t> Count(std::string_view text) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::uint16_t value = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t comma = line.find(',');
        fields.push_back(Trimmed(line.substr(0, comma)));
        if (comma == std::string_view::npos) {
            return fields;
        }
        line.remove_prefix(comma + 1);
    }
}

TParsedLine CountOf(std::optional<std::uint16_t> count) {
    return count ? TParsedLine{TLineKind::Count, *count} : TParsedLine{};
}

} // namespace

TParsedLine ParseCountLine(std::string_view line) {
    if (line.empty() || Trimmed(line).empty()) {
        return {TLineKind::Blank, 0};
    }
    if (!IsPrintable(line)) {
        return {};
    }
    if (line.find(',') == std::string_view::npos) {
        return CountOf(Count(Trimmed(line)));
    }
    const std::vector<std::string_view> fields = Fields(line);
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
        if (SameLetters(fields[i], CountsPerSecondField)) {
            return CountOf(Count(fields[i + 1]));
        }
    }
    return {};
}

std::vector<std::uint16_t> TLineDecoder::Take(std::string_view bytes,
                                              std::int64_t steadyMilliseconds) {
    std::vector<std::uint16_t> counts;
    if (bytes.empty()) {
        if ((!Line.empty() || Overlong) &&
            steadyMilliseconds - LastByteTime >= LinePauseMilliseconds) {
            Drop();
            Line.clear();
            Overlong = false;
        }
        return counts;
    }
    LastByteTime = steadyMilliseconds;
    for (const char c : bytes) {
        if (c == '\n') {
            EndLine(counts);
        } else if (Line.size() < MaxLineBytes) {
            Line += c;
        } else {
            Overlong = true;
        }
    }
    return counts;
}

std::vector<std::uint16_t> TLineDecoder::Finish() {
    // A line without its end may have been cut anywhere, even in a number.
    if (!Line.empty() || Overlong) {
        Drop();
    }
    Line.clear();
    Overlong = false;
    return {};
}

void TLineDecoder::EndLine(std::vector<std::uint16_t>& counts) {
    std::string_view text = Line;
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    const TParsedLine parsed = Overlong ? TParsedLine{} : ParseCountLine(text);
    if (parsed.Kind == TLineKind::Count) {
        counts.push_back(parsed.Count);
    } else if (parsed.Kind == TLineKind::Garbage) {
        Drop();
    }
    Line.clear();
    Overlong = false;
}

std::optional<std::string> TLineProtocol::Identify(TSerialPort&) {
    return std::string("serial line counter");
}

bool TLineProtocol::Start(TSerialPort& port) {
    port.DiscardInput();
    return true;
}

void TLineProtocol::Stop(TSerialPort&) {}

std::unique_ptr<TCountDecoder> TLineProtocol::MakeDecoder(const std::string&) const {
    return std::make_unique<TLineDecoder>();
}

TAdapterSetup SerialLineAdapterSetup() {
    TAdapterSetup setup;
    setup.Name = "Serial line adapter";
    setup.EnvironmentPrefix = "OSTREL_SERIALLINE_";
    setup.FileStem = "serial-line";
    setup.DefaultPorts = {"/dev/ttyUSB0"};
    setup.DefaultBauds = {9600};
    setup.DefaultCoefficient = 570;
    setup.DefaultBackground = 0;
    setup.MakeProtocol = [](const TAdapterConfig&) -> std::unique_ptr<TProtocol> {
        return std::make_unique<TLineProtocol>();
    };
    return setup;
}

} // namespace ostrel::adapters
