// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The settings file beside the executable: the chart's coefficient and
// background, read once at start-up and written once at the end.

#include "platform/FormatSettings.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace ostrel {

inline constexpr std::string_view GraphSection = "Graph";
inline constexpr std::string_view GraphCoefficientKey = "uSv";
inline constexpr std::string_view GraphBackgroundKey = "BackGround";
inline constexpr std::string_view SettingsExtension = ".ini";
inline constexpr double DefaultGraphCoefficient = 0.00158;
inline constexpr std::int32_t DefaultGraphBackground = 0;

struct TGraphSettings {
    double GraphCoefficient = DefaultGraphCoefficient;
    std::int32_t GraphBackground = DefaultGraphBackground;
};

// The executable's path with the extension of its file name replaced by
// ".ini", or ".ini" appended when the name has none. "\\" separates folders
// only on Windows.
std::filesystem::path SettingsPath(const std::filesystem::path& executablePath);

// Whether this user may create files in the folder now.
bool IsWritableFolder(const std::filesystem::path& folder);

// Where the settings are kept: beside the executable (SettingsPath) when that
// file exists or its folder can be written, as in a build folder or a
// portable copy. An installed program's folder is not the user's to write, so
// there the same file name in userConfigFolder is used instead (unless that
// is empty).
std::filesystem::path ChooseSettingsPath(
    const std::filesystem::path& executablePath, const std::filesystem::path& userConfigFolder,
    const std::function<bool(const std::filesystem::path&)>& isWritableFolder = IsWritableFolder);

// The key's text as a number; defaultValue when the text is empty or does
// not parse (no message).
double ReadFloat(const std::filesystem::path& path, std::string_view section, std::string_view key,
                 double defaultValue, const TFormatSettings& fs);

// Writes the value by FloatToStr. Throws EFileError on failure.
void WriteFloat(const std::filesystem::path& path, std::string_view section, std::string_view key,
                double value, const TFormatSettings& fs);

// A stored number as a background: truncated toward zero, clamped to the
// signed 32-bit range, NaN as 0.
std::int32_t TruncateToInt32(double value);

// The chart's pair, each falling back to its default.
TGraphSettings ReadGraphSettings(const std::filesystem::path& path, const TFormatSettings& fs);

// "uSv" and then "BackGround" (the integer as a number text). The first
// failing write throws EFileError and stops.
void WriteGraphSettings(const std::filesystem::path& path, double coefficient,
                        std::int32_t background, const TFormatSettings& fs);

// A number with "." as the decimal point whatever the user's locale, as the
// sections for the outputs write them; none when the text is not one or the
// number is not finite.
std::optional<double> DecimalNumber(std::string_view text);

// One section of the settings file, read a key at a time by the profile
// file's rules (names without regard to letter case, blanks around a value
// dropped): each output reads its own section through it. Nothing is kept
// open or cached.
class TSettingsSection {
public:
    TSettingsSection(std::filesystem::path file, std::string name)
        : File(std::move(file)), SectionName(std::move(name)) {}

    const std::string& Name() const { return SectionName; }
    // The file has the section, even one without keys.
    bool Exists() const;
    // The key's value; none when the file, the section or the key is missing,
    // so that an empty value can mean something of its own.
    std::optional<std::string> Find(std::string_view key) const;
    // The same, empty when missing.
    std::string Read(std::string_view key) const { return Find(key).value_or(std::string()); }

    // The one line on diagnostics for a value that cannot be used:
    // "ostrel: [Name] Key=text is not usable; " and what happens instead.
    void TellUnusable(std::ostream& diagnostics, std::string_view key, std::string_view text,
                      std::string_view instead) const;
    // The same line for a value whose default is used: "...; used is used instead".
    void TellDefault(std::ostream& diagnostics, std::string_view key, std::string_view text,
                     std::string_view used) const;

    // The readers below give fallback, without a word, when the key is
    // missing or empty, and give it with TellDefault's line when the value
    // cannot be used.

    // A whole number from lowest to highest.
    std::int32_t ReadInteger(std::string_view key, std::int32_t lowest, std::int32_t highest,
                             std::int32_t fallback, std::ostream& diagnostics) const;
    // A TCP port, 1 to 65535.
    std::uint16_t ReadPort(std::string_view key, std::uint16_t fallback,
                           std::ostream& diagnostics) const;
    // A number of minutes from 1 to longest.
    int ReadInterval(std::string_view key, int longest, int fallback,
                     std::ostream& diagnostics) const;
    // A number by DecimalNumber from lowest to highest; the line gives the
    // fallback by FloatToStr with "." as the decimal point.
    double ReadDecimal(std::string_view key, double lowest, double highest, double fallback,
                       std::ostream& diagnostics) const;

private:
    std::filesystem::path File;
    std::string SectionName;
};

} // namespace ostrel
