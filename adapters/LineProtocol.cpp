// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/LineProtocol.h"

#include "device/Text.h"

#include <charconv>
#include <vector>

namespace ostrel::adapters {

namespace {

constexpr std::string_view CountsPerSecondField = "CPS";
constexpr std::string_view CpmLabel = "CPM";
constexpr char OverflowMark = '*';

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

TParsedLine Parsed(TLineKind kind, std::optional<std::uint16_t> count, bool overflowed = false) {
    return count ? TParsedLine{kind, *count, overflowed} : TParsedLine{};
}

// "CPM: 20" or "CPM(SLOW): 20", with anything after a comma or a blank.
std::optional<TParsedLine> LabelledCpm(std::string_view line) {
    if (line.size() < CpmLabel.size() || !SameLetters(line.substr(0, CpmLabel.size()), CpmLabel)) {
        return std::nullopt;
    }
    std::string_view rest = line.substr(CpmLabel.size());
    if (!rest.empty() && rest.front() == '(') {
        const std::size_t close = rest.find(')');
        if (close == std::string_view::npos) {
            return std::nullopt;
        }
        rest.remove_prefix(close + 1);
    }
    if (rest.empty() || rest.front() != ':') {
        return std::nullopt;
    }
    rest = Trimmed(rest.substr(1));
    return Parsed(TLineKind::Cpm, Count(rest.substr(0, rest.find_first_of(", \t"))));
}

TParsedLine CountsPerSecond(std::string_view value) {
    const bool overflowed = !value.empty() && value.back() == OverflowMark;
    if (overflowed) {
        value.remove_suffix(1);
    }
    return Parsed(TLineKind::Count, Count(value), overflowed);
}

} // namespace

TParsedLine ParseCountLine(std::string_view line) {
    if (line.empty() || Trimmed(line).empty()) {
        return {TLineKind::Blank, 0};
    }
    if (!IsPrintable(line)) {
        return {};
    }
    if (const std::optional<TParsedLine> cpm = LabelledCpm(Trimmed(line))) {
        return *cpm;
    }
    if (line.find(',') == std::string_view::npos) {
        return Parsed(TLineKind::Cpm, Count(Trimmed(line)));
    }
    const std::vector<std::string_view> fields = Fields(line);
    for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
        if (SameLetters(fields[i], CountsPerSecondField)) {
            return CountsPerSecond(fields[i + 1]);
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
            DropCut();
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
        DropCut();
    }
    Line.clear();
    Overlong = false;
    return {};
}

void TLineDecoder::DropCut() {
    Drop("cut",
         "lines cut off or longer than " + std::to_string(MaxLineBytes) + " bytes are dropped");
}

void TLineDecoder::EndLine(std::vector<std::uint16_t>& counts) {
    std::string_view text = Line;
    if (!text.empty() && text.back() == '\r') {
        text.remove_suffix(1);
    }
    const TParsedLine parsed = Overlong ? TParsedLine{} : ParseCountLine(text);
    if (parsed.Overflowed) {
        Note("overflow", "the counter marks a second's count with \"*\": its buffer overflowed, "
                         "the count may be too low");
    }
    if (parsed.Kind == TLineKind::Count) {
        counts.push_back(parsed.Count);
    } else if (parsed.Kind == TLineKind::Cpm) {
        ReportCpm(parsed.Count);
        Note("cpm", "the counter sends its CPM only: one reading a minute is logged, the last "
                    "CPM of that minute");
    } else if (parsed.Kind == TLineKind::Garbage) {
        Drop("garbage", "lines that are not counts are dropped (the wrong baud rate?), e.g. \"" +
                            ShownBytes(text) + "\"");
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
