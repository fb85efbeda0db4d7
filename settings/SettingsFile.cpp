// SPDX-License-Identifier: GPL-3.0-or-later
#include "settings/SettingsFile.h"

#include "platform/ProfileFile.h"
#include "platform/TextServices.h"

#include <cmath>
#include <limits>
#include <ostream>
#include <string>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <fcntl.h>
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

// A name that no other file in the folder has, this process's own.
Path ProbeName() {
    static int count = 0;
#ifdef _WIN32
    const unsigned long process = GetCurrentProcessId();
#else
    const long process = static_cast<long>(::getpid());
#endif
    return ".ostrel-write-probe-" + std::to_string(process) + "-" + std::to_string(++count);
}

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
    // Only creating a file tells: on Windows the rights of a folder are not
    // what _waccess reads (it says only that the folder exists), and the
    // superuser passes every access() check, even where nothing is created.
    const Path probe = folder / ProbeName();
#ifdef _WIN32
    const HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return false;
    }
    CloseHandle(file);
#else
    const int file = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (file < 0) {
        return false;
    }
    ::close(file);
    ::unlink(probe.c_str());
#endif
    return true;
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

std::optional<double> DecimalNumber(std::string_view text) {
    const std::optional<double> number = TryStrToFloat(text, TFormatSettings{});
    if (!number || !std::isfinite(*number)) {
        return std::nullopt;
    }
    return number;
}

bool TSettingsSection::Exists() const {
    return HasSection(File, SectionName);
}

std::optional<std::string> TSettingsSection::Find(std::string_view key) const {
    return FindString(File, SectionName, key);
}

void TSettingsSection::TellUnusable(std::ostream& diagnostics, std::string_view key,
                                    std::string_view text, std::string_view instead) const {
    diagnostics << "ostrel: [" << SectionName << "] " << key << "=" << text << " is not usable; "
                << instead << std::endl;
}

void TSettingsSection::TellDefault(std::ostream& diagnostics, std::string_view key,
                                   std::string_view text, std::string_view used) const {
    TellUnusable(diagnostics, key, text, std::string(used) + " is used instead");
}

std::int32_t TSettingsSection::ReadInteger(std::string_view key, std::int32_t lowest,
                                           std::int32_t highest, std::int32_t fallback,
                                           std::ostream& diagnostics) const {
    const std::string text = Read(key);
    if (text.empty()) {
        return fallback;
    }
    const std::optional<std::int32_t> number = TryStrToInt(text);
    if (!number || *number < lowest || *number > highest) {
        TellDefault(diagnostics, key, text, std::to_string(fallback));
        return fallback;
    }
    return *number;
}

std::uint16_t TSettingsSection::ReadPort(std::string_view key, std::uint16_t fallback,
                                         std::ostream& diagnostics) const {
    return static_cast<std::uint16_t>(ReadInteger(key, 1, 65535, fallback, diagnostics));
}

int TSettingsSection::ReadInterval(std::string_view key, int longest, int fallback,
                                   std::ostream& diagnostics) const {
    return ReadInteger(key, 1, longest, fallback, diagnostics);
}

double TSettingsSection::ReadDecimal(std::string_view key, double lowest, double highest,
                                     double fallback, std::ostream& diagnostics) const {
    const std::string text = Read(key);
    if (text.empty()) {
        return fallback;
    }
    const std::optional<double> number = DecimalNumber(text);
    if (!number || *number < lowest || *number > highest) {
        TellDefault(diagnostics, key, text, FloatToStr(fallback, TFormatSettings{}));
        return fallback;
    }
    return *number;
}

} // namespace ostrel
