// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsFile.h"

#include "platform/ProfileFile.h"
#include "platform/TextServices.h"

#include <cmath>
#include <limits>
#include <system_error>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace ostrel {

using Path = std::filesystem::path;

namespace {

#ifdef _WIN32
constexpr Path::value_type Separators[] = L"/\\";
constexpr Path::value_type Dot = L'.';
#else
constexpr Path::value_type Separators[] = "/";
constexpr Path::value_type Dot = '.';
#endif

} // namespace

Path SettingsPath(const Path& executablePath) {
    auto text = executablePath.native();
    const auto lastSeparator = text.find_last_of(Separators);
    const auto nameStart = lastSeparator == Path::string_type::npos ? 0 : lastSeparator + 1;
    const auto dot = text.rfind(Dot);
    if (dot != Path::string_type::npos && dot >= nameStart) {
        text.erase(dot);
    }
    Path result(std::move(text));
    result += SettingsExtension;
    return result;
}

bool IsWritableFolder(const Path& folder) {
    std::error_code error;
    if (!std::filesystem::is_directory(folder, error)) {
        return false;
    }
#ifdef _WIN32
    return _waccess(folder.c_str(), 2) == 0;
#else
    return ::access(folder.c_str(), W_OK) == 0;
#endif
}

Path ChooseSettingsPath(const Path& executablePath, const Path& userConfigFolder,
                        const std::function<bool(const Path&)>& isWritableFolder) {
    const Path beside = SettingsPath(executablePath);
    std::error_code error;
    if (userConfigFolder.empty() || std::filesystem::exists(beside, error)) {
        return beside;
    }
    const Path folder = beside.has_parent_path() ? beside.parent_path() : Path(".");
    if (isWritableFolder(folder)) {
        return beside;
    }
    return userConfigFolder / beside.filename();
}

double ReadFloat(const Path& file, std::string_view section, std::string_view key,
                 double defaultValue, const TFormatSettings& fs) {
    const auto text = ReadString(file, section, key);
    if (text.empty()) {
        return defaultValue;
    }
    return TryStrToFloat(text, fs).value_or(defaultValue);
}

void WriteFloat(const Path& file, std::string_view section, std::string_view key, double value,
                const TFormatSettings& fs) {
    WriteString(file, section, key, FloatToStr(value, fs));
}

std::int32_t TruncateToInt32(double value) {
    using Limits = std::numeric_limits<std::int32_t>;
    if (std::isnan(value)) {
        return 0;
    }
    const double truncated = std::trunc(value);
    if (truncated <= static_cast<double>(Limits::min())) {
        return Limits::min();
    }
    if (truncated >= static_cast<double>(Limits::max())) {
        return Limits::max();
    }
    return static_cast<std::int32_t>(truncated);
}

TGraphSettings ReadGraphSettings(const Path& file, const TFormatSettings& fs) {
    TGraphSettings settings;
    settings.GraphCoefficient =
        ReadFloat(file, GraphSection, GraphCoefficientKey, DefaultGraphCoefficient, fs);
    settings.GraphBackground = TruncateToInt32(
        ReadFloat(file, GraphSection, GraphBackgroundKey, DefaultGraphBackground, fs));
    return settings;
}

void WriteGraphSettings(const Path& file, double coefficient, std::int32_t background,
                        const TFormatSettings& fs) {
    WriteFloat(file, GraphSection, GraphCoefficientKey, coefficient, fs);
    WriteFloat(file, GraphSection, GraphBackgroundKey, static_cast<double>(background), fs);
}

} // namespace ostrel
