// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/SimConfig.h"

#include "device/Text.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <fstream>
#include <string_view>

namespace ostrel::sim {

namespace {

// from_chars ignores the C locale, which a host program may have changed.
template <typename TNumber> std::optional<TNumber> ParseWhole(std::string_view text) {
    TNumber value{};
    const char* end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (result.ec != std::errc() || result.ptr != end) {
        return std::nullopt;
    }
    return value;
}

double ReadRange(const TEnvironment& environment, const char* name, double fallback,
                 double maximum) {
    const std::optional<std::string> text = environment(name);
    if (!text || text->empty()) {
        return fallback;
    }
    const std::optional<double> value = ParseWhole<double>(*text);
    if (!value || !std::isfinite(*value) || *value < 0.0 || *value > maximum) {
        throw TSimConfigError(std::string(name) + " must be a number from 0 to " +
                              std::to_string(static_cast<long>(maximum)) + ", not \"" + *text +
                              "\"");
    }
    return *value;
}

std::optional<std::uint64_t> ReadSeed(const TEnvironment& environment) {
    const std::optional<std::string> text = environment(SeedVariable);
    if (!text || text->empty()) {
        return std::nullopt;
    }
    const std::optional<std::uint64_t> value = ParseWhole<std::uint64_t>(*text);
    if (!value) {
        throw TSimConfigError(std::string(SeedVariable) +
                              " must be a whole number from 0 to 18446744073709551615, not \"" +
                              *text + "\"");
    }
    return value;
}

std::optional<std::vector<TCounterSample>> ReadScript(const TEnvironment& environment) {
    const std::optional<std::string> path = environment(ScriptVariable);
    if (!path || path->empty()) {
        return std::nullopt;
    }
    std::ifstream input(*path, std::ios::binary);
    if (!input) {
        throw TSimConfigError(std::string(ScriptVariable) + ": cannot read \"" + *path + "\"");
    }
    try {
        return ParseScript(input);
    } catch (const TSimConfigError& error) {
        throw TSimConfigError(std::string(ScriptVariable) + ": \"" + *path + "\" " + error.what());
    }
}

// Reads the fields of a scripted line one after another.
class TLineReader {
public:
    explicit TLineReader(std::string_view text) : Text(text) {}

    std::uint16_t Number() {
        std::size_t end = Position;
        while (end < Text.size() && Text[end] >= '0' && Text[end] <= '9') {
            ++end;
        }
        const std::optional<std::uint16_t> value =
            ParseWhole<std::uint16_t>(Text.substr(Position, end - Position));
        if (!value) {
            Fail();
        }
        Position = end;
        return *value;
    }

    bool Take(char expected) {
        if (Position < Text.size() && Text[Position] == expected) {
            ++Position;
            return true;
        }
        return false;
    }

    void Expect(char expected) {
        if (!Take(expected)) {
            Fail();
        }
    }

    void Blanks() {
        const std::size_t start = Position;
        while (Position < Text.size() && (Text[Position] == ' ' || Text[Position] == '\t')) {
            ++Position;
        }
        if (Position == start) {
            Fail();
        }
    }

    void End() const {
        if (Position != Text.size()) {
            Fail();
        }
    }

private:
    [[noreturn]] static void Fail() { throw TSimConfigError(""); }

    std::string_view Text;
    std::size_t Position = 0;
};

// Sunday is 0, as the platform counts; 0 as well for a date that does not exist.
std::uint16_t DayOfWeek(const TSystemTime& time) {
    using namespace std::chrono;
    if (time.Year > static_cast<int>(year::max())) {
        return 0;
    }
    const year_month_day date{year{time.Year}, month{time.Month}, day{time.Day}};
    return date.ok() ? static_cast<std::uint16_t>(weekday{sys_days{date}}.c_encoding()) : 0;
}

TCounterSample ParseReading(std::string_view text) {
    TCounterSample sample{};
    if (text == "gone") {
        return sample;
    }
    TLineReader reader(text);
    TSystemTime& time = sample.Time;
    time.Year = reader.Number();
    reader.Expect('-');
    time.Month = reader.Number();
    reader.Expect('-');
    time.Day = reader.Number();
    reader.Blanks();
    time.Hour = reader.Number();
    reader.Expect(':');
    time.Minute = reader.Number();
    reader.Expect(':');
    time.Second = reader.Number();
    if (reader.Take('.')) {
        time.Milliseconds = reader.Number();
    }
    reader.Blanks();
    sample.Count = reader.Number();
    reader.End();
    time.DayOfWeek = DayOfWeek(time);
    return sample;
}

std::string_view WithoutComment(std::string_view text) {
    return text.substr(0, text.find('#'));
}

} // namespace

TSimConfig ReadSimConfig(const TEnvironment& environment) {
    TSimConfig config;
    config.Cpm = ReadRange(environment, CpmVariable, DefaultCpm, MaxCpm);
    config.Speed = ReadRange(environment, SpeedVariable, DefaultSpeed, MaxSpeed);
    config.Seed = ReadSeed(environment);
    config.Script = ReadScript(environment);
    return config;
}

std::vector<TCounterSample> ParseScript(std::istream& input) {
    std::vector<TCounterSample> samples;
    std::string line;
    for (int number = 1; std::getline(input, line); ++number) {
        std::string_view text = line;
        if (number == 1 && text.substr(0, 3) == "\xEF\xBB\xBF") {
            text.remove_prefix(3);
        }
        text = Trimmed(WithoutComment(text));
        if (text.empty()) {
            continue;
        }
        try {
            samples.push_back(ParseReading(text));
        } catch (const TSimConfigError&) {
            throw TSimConfigError("line " + std::to_string(number) + ": \"" + std::string(text) +
                                  "\" is not \"YYYY-MM-DD hh:mm:ss.mmm count\" or \"gone\"");
        }
    }
    return samples;
}

} // namespace ostrel::sim
