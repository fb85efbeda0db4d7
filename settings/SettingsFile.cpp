#include "settings/SettingsFile.h"

#include "platform/ProfileFile.h"
#include "platform/TextServices.h"

#include <cmath>
#include <limits>

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
