// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/ProfileFile.h"

#include "device/FileReplacement.h"
#include "platform/Exceptions.h"
#include "platform/Translation.h"

#include <cstddef>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace ostrel {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t MaxValueCharacters = 2047;
constexpr std::string_view Utf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view NewFileLineEnding = "\r\n";
constexpr std::string_view CannotWriteText = OSTREL_TR("Ostrel", " に書き込めません");

// One line of the file; both views point into the file's content.
struct TLine {
    std::string_view Text;
    // "\r\n", "\n", "" on a last line without one, "\r" on a last line cut
    // between CR and LF
    std::string_view Ending;
};

// Whether another line can follow this ending as it stands.
bool EndsLine(std::string_view ending) {
    return ending.ends_with('\n');
}

std::vector<TLine> SplitLines(std::string_view content) {
    std::vector<TLine> lines;
    while (!content.empty()) {
        const auto lf = content.find('\n');
        if (lf == std::string_view::npos) {
            // A CR at the very end belongs to no value: "uSv=1\r" reads 1.
            const auto textEnd = content.ends_with('\r') ? content.size() - 1 : content.size();
            lines.push_back({content.substr(0, textEnd), content.substr(textEnd)});
            break;
        }
        const auto textEnd = (lf > 0 && content[lf - 1] == '\r') ? lf - 1 : lf;
        lines.push_back({content.substr(0, textEnd), content.substr(textEnd, lf + 1 - textEnd)});
        content.remove_prefix(lf + 1);
    }
    return lines;
}

// A CR left inside a line by mixed line endings ("uSv=0.002\r\r\n") counts as
// a blank: otherwise a value's last CR would read as part of it until a
// write gave the line a whole ending and took the CR into that.
bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

char AsciiLower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i])) {
            return false;
        }
    }
    return true;
}

// The name between "[" and "]" when the line opens a section.
std::optional<std::string_view> SectionName(std::string_view line) {
    const auto text = Trim(line);
    if (text.empty() || text.front() != '[') {
        return std::nullopt;
    }
    const auto close = text.find(']');
    if (close == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(text.substr(1, close - 1));
}

std::optional<std::string_view> KeyName(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) {
        return std::nullopt;
    }
    return Trim(line.substr(0, equals));
}

// Where a key stands, or where it would go.
struct TKeyPlace {
    std::optional<std::size_t> SectionLine;
    std::optional<std::size_t> KeyLine;
    std::size_t LastSectionLine = 0; // the section's last non-blank line
};

TKeyPlace FindKey(const std::vector<TLine>& lines, std::string_view section, std::string_view key) {
    TKeyPlace place;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const auto name = SectionName(lines[i].Text);
        if (!place.SectionLine) {
            if (name && SameName(*name, section)) {
                place.SectionLine = i;
                place.LastSectionLine = i;
            }
            continue;
        }
        if (name) {
            break;
        }
        const auto keyName = KeyName(lines[i].Text);
        if (keyName && SameName(*keyName, key)) {
            place.KeyLine = i;
            break;
        }
        if (!Trim(lines[i].Text).empty()) {
            place.LastSectionLine = i;
        }
    }
    return place;
}

// Cuts text after its first MaxValueCharacters UTF-8 characters.
std::string_view CapCharacters(std::string_view text) {
    std::size_t characters = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool startsCharacter = (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80;
        if (startsCharacter && characters++ == MaxValueCharacters) {
            return text.substr(0, i);
        }
    }
    return text;
}

std::string_view WithoutBom(std::string_view content) {
    return content.starts_with(Utf8Bom) ? content.substr(Utf8Bom.size()) : content;
}

std::optional<std::string> ReadWhole(const fs::path& path) {
    std::error_code error;
    if (!fs::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return std::move(content).str();
}

std::string_view LineEndingOf(const std::vector<TLine>& lines) {
    for (const auto& line : lines) {
        if (EndsLine(line.Ending)) {
            return line.Ending;
        }
    }
    return NewFileLineEnding;
}

// The file's content with key set to value.
std::string WithKey(std::string_view content, std::string_view section, std::string_view key,
                    std::string_view value) {
    const auto body = WithoutBom(content);
    const auto lines = SplitLines(body);
    const auto ending = LineEndingOf(lines);
    const auto place = FindKey(lines, section, key);
    const std::string keyLine = std::string(key) + "=" + std::string(value);

    std::string out(content.substr(0, content.size() - body.size()));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool keyAfter = !place.KeyLine && place.SectionLine && i == place.LastSectionLine;
        const bool followed = keyAfter || (!place.SectionLine && i + 1 == lines.size());
        out += (place.KeyLine == i) ? std::string_view(keyLine) : lines[i].Text;
        // A line that another follows needs a whole ending: a lone CR
        // would join the two into one line.
        out += (followed && !EndsLine(lines[i].Ending)) ? ending : lines[i].Ending;
        if (keyAfter) {
            out += keyLine;
            out += ending;
        }
    }
    if (!place.SectionLine) {
        out += "[";
        out += section;
        out += "]";
        out += ending;
        out += keyLine;
        out += ending;
    }
    return out;
}

void RequireSingleLine(std::string_view text) {
    if (text.find_first_of("\r\n") != std::string_view::npos) {
        throw std::invalid_argument("profile names and values are single lines");
    }
}

[[noreturn]] void ThrowCannotWrite(const fs::path& path) {
    throw EFileError(PathText(path) + Translate(CannotWriteText));
}

} // namespace

std::string PathText(const fs::path& path) {
    const auto text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::optional<std::string> FindString(const fs::path& path, std::string_view section,
                                      std::string_view key) {
    const auto content = ReadWhole(path);
    if (!content) {
        return std::nullopt;
    }
    const auto lines = SplitLines(WithoutBom(*content));
    const auto place = FindKey(lines, section, key);
    if (!place.KeyLine) {
        return std::nullopt;
    }
    const auto text = lines[*place.KeyLine].Text;
    // Cut to length, then trimmed again: the cut may end in blanks.
    return std::string(Trim(CapCharacters(Trim(text.substr(text.find('=') + 1)))));
}

bool HasSection(const fs::path& path, std::string_view section) {
    const auto content = ReadWhole(path);
    if (!content) {
        return false;
    }
    return FindKey(SplitLines(WithoutBom(*content)), section, {}).SectionLine.has_value();
}

std::string ReadString(const fs::path& path, std::string_view section, std::string_view key) {
    return FindString(path, section, key).value_or(std::string());
}

void WriteString(const fs::path& path, std::string_view section, std::string_view key,
                 std::string_view value) {
    RequireSingleLine(section);
    RequireSingleLine(key);
    RequireSingleLine(value);
    // Through a symlink to its target, as the replacement writes.
    std::error_code error;
    const bool exists = fs::exists(path, error);
    if (error) {
        ThrowCannotWrite(path);
    }
    std::string content;
    if (exists) {
        auto old = ReadWhole(path);
        if (!old) {
            ThrowCannotWrite(path);
        }
        content = std::move(*old);
    }
    if (ReplaceFileContent(path, WithKey(content, section, key, value))) {
        ThrowCannotWrite(path);
    }
}

} // namespace ostrel
