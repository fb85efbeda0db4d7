// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/LogScenario.h"

#include "platform/DateTime.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <sstream>
#include <stdexcept>

namespace ostrel::bench {

namespace {

constexpr std::size_t MinutesPerDay = 24 * 60;
constexpr std::size_t DoseWindow = 10;
// The dose rate of a window is ScenarioCoefficient / 10 x the window's sum:
// 158 millionths per count, which keeps every rate an exact short decimal.
constexpr std::int64_t DoseMillionthsPerCount = 158;
constexpr int DoseDecimals = 6;

std::uint64_t SplitMix64(std::uint64_t x) {
    x += 0x9E3779B97F4A7C15ULL;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
    return x ^ (x >> 31);
}

void AppendTwoDigits(std::string& out, int value) {
    out.push_back(static_cast<char>('0' + value / 10 % 10));
    out.push_back(static_cast<char>('0' + value % 10));
}

// "yy/mm/dd" then between, then "hh:nn".
void AppendMinute(std::string& out, std::size_t k, const char* between) {
    const TScenarioMinute m = ScenarioMinute(k);
    AppendTwoDigits(out, m.Year % 100);
    out.push_back('/');
    AppendTwoDigits(out, m.Month);
    out.push_back('/');
    AppendTwoDigits(out, m.Day);
    out += between;
    AppendTwoDigits(out, m.Hour);
    out.push_back(':');
    AppendTwoDigits(out, m.Minute);
}

std::int64_t CountSum(std::size_t first, std::size_t last) {
    std::int64_t sum = 0;
    for (std::size_t j = first; j <= last; ++j) {
        sum += ScenarioCount(j);
    }
    return sum;
}

// The rate of a window summing to sum counts, as FloatToStr writes it: every
// scenario rate lies from 0.0158 to below 1, so fixed notation, no zeros at
// the end.
void AppendDose(std::string& out, std::int64_t sum) {
    const std::int64_t millionths = DoseMillionthsPerCount * sum;
    out += std::to_string(millionths / 1'000'000);
    std::string fraction = std::to_string(millionths % 1'000'000);
    fraction.insert(0, static_cast<std::size_t>(DoseDecimals) - fraction.size(), '0');
    while (!fraction.empty() && fraction.back() == '0') {
        fraction.pop_back();
    }
    if (!fraction.empty()) {
        out.push_back('.');
        out += fraction;
    }
}

// Minute k's line with the dose rate over minutes first .. first+9, or none.
void AppendLine(std::string& out, std::size_t k, std::optional<std::size_t> doseFrom) {
    AppendMinute(out, k, ", ");
    out += ", ";
    out += std::to_string(ScenarioCount(k));
    if (doseFrom) {
        out += ", ";
        AppendDose(out, CountSum(*doseFrom, *doseFrom + DoseWindow - 1));
    }
}

std::optional<std::size_t> RebuiltWindow(std::size_t k) {
    return k >= DoseWindow ? std::optional<std::size_t>(k - DoseWindow) : std::nullopt;
}

std::optional<std::size_t> LiveWindow(std::size_t k) {
    return k >= DoseWindow ? std::optional<std::size_t>(k - DoseWindow + 1) : std::nullopt;
}

std::string Describe(double value) {
    std::ostringstream text;
    text.precision(17);
    text << value;
    return text.str();
}

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFile = std::unique_ptr<std::FILE, TFileCloser>;

} // namespace

TFormatSettings ScenarioFormatSettings() {
    TFormatSettings fs;
    fs.DateSeparator = "/";
    fs.TimeSeparator = ":";
    fs.DecimalSeparator = ".";
    fs.CurrentYear = 2024;
    return fs;
}

TScenarioMinute ScenarioMinute(std::size_t k) {
    using namespace std::chrono;
    const sys_days day =
        sys_days{year{2024} / January / 1} + days{static_cast<int>(k / MinutesPerDay)};
    const year_month_day date{day};
    const auto minuteOfDay = static_cast<int>(k % MinutesPerDay);
    return {static_cast<int>(date.year()), static_cast<int>(static_cast<unsigned>(date.month())),
            static_cast<int>(static_cast<unsigned>(date.day())), minuteOfDay / 60,
            minuteOfDay % 60};
}

std::int32_t ScenarioCount(std::size_t k) {
    return static_cast<std::int32_t>(10 + SplitMix64(k) % 51);
}

TMinuteRecord ScenarioRecord(std::size_t k, const TFormatSettings& fs) {
    const TScenarioMinute m = ScenarioMinute(k);
    // The last instant of the minute: its key must still be the minute itself.
    const TDateTime reading =
        EncodeDate(m.Year, m.Month, m.Day) + EncodeTime(m.Hour, m.Minute, 59, 999);
    return {MinuteKey(reading, fs), ScenarioCount(k)};
}

std::string RebuiltLine(std::size_t k) {
    std::string line;
    AppendLine(line, k, RebuiltWindow(k));
    return line;
}

std::string LiveLine(std::size_t k) {
    std::string line;
    AppendLine(line, k, LiveWindow(k));
    return line;
}

std::string MinuteText(std::size_t k) {
    std::string text;
    AppendMinute(text, k, " ");
    return text;
}

std::string ScenarioLogText(std::size_t n) {
    std::string text;
    text.reserve(n * 32);
    for (std::size_t k = 0; k < n; ++k) {
        AppendLine(text, k, RebuiltWindow(k));
        text += "\r\n";
    }
    return text;
}

void WriteScenarioLog(const std::string& path, std::size_t n) {
    const std::string text = ScenarioLogText(n);
    const TFile file(std::fopen(path.c_str(), "wb"));
    if (!file || std::fwrite(text.data(), 1, text.size(), file.get()) != text.size()) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::size_t ReadAndCountLines(const std::string& path) {
    const TFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        throw std::runtime_error("cannot read " + path);
    }
    constexpr std::size_t chunkBytes = 1 << 20;
    const auto chunk = std::make_unique<char[]>(chunkBytes);
    std::size_t lines = 0;
    char last = '\n';
    for (;;) {
        const std::size_t got = std::fread(chunk.get(), 1, chunkBytes, file.get());
        if (got == 0) {
            break;
        }
        const char* at = chunk.get();
        const char* const end = at + got;
        while ((at = static_cast<const char*>(std::memchr(at, '\n', std::size_t(end - at))))) {
            ++lines;
            ++at;
        }
        last = chunk[got - 1];
    }
    if (std::ferror(file.get())) {
        throw std::runtime_error("cannot read " + path);
    }
    return lines + (last != '\n' ? 1 : 0);
}

std::optional<std::string> CheckOpenedLog(const TRecords& records, const TLogView& log,
                                          std::size_t n, const TFormatSettings& fs) {
    if (records.Count() != n) {
        return std::to_string(records.Count()) + " records, expected " + std::to_string(n);
    }
    if (static_cast<std::size_t>(log.Count()) != n) {
        return std::to_string(log.Count()) + " log lines, expected " + std::to_string(n);
    }
    for (std::size_t k = 0; k < n; ++k) {
        const TMinuteRecord expected = ScenarioRecord(k, fs);
        const TMinuteRecord& got = records[k];
        if (got.StartTime != expected.StartTime || got.Count != expected.Count) {
            return "record " + std::to_string(k) + ": " + Describe(got.StartTime) + " " +
                   std::to_string(got.Count) + ", expected " + Describe(expected.StartTime) + " " +
                   std::to_string(expected.Count);
        }
        const std::string line = log.Item(static_cast<int>(k));
        const std::string expectedLine = RebuiltLine(k);
        if (line != expectedLine) {
            return "line " + std::to_string(k) + ": \"" + line + "\", expected \"" + expectedLine +
                   "\"";
        }
    }
    return std::nullopt;
}

std::optional<std::string> SameText(const std::string& path, const std::string& expected) {
    const TFile file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return "cannot read " + path;
    }
    std::string text(expected.size() + 1, '\0');
    text.resize(std::fread(text.data(), 1, text.size(), file.get()));
    if (text == expected) {
        return std::nullopt;
    }
    const auto differ = std::mismatch(text.begin(), text.end(), expected.begin(), expected.end());
    return path + " differs from byte " + std::to_string(differ.first - text.begin()) + " on";
}

} // namespace ostrel::bench
