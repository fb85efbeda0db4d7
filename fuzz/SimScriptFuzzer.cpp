// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated counter's replay script, on any content: as ParseScript
// reads it from a stream, and as a connection reads the file that
// OSTREL_SIM_SCRIPT names.

#include "FuzzSupport.h"

#include "sim/SimConfig.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace ostrel;
using fuzz::Require;
namespace fs = std::filesystem;

std::optional<std::vector<TCounterSample>> Parse(const std::string& text, std::string& error) {
    std::istringstream input(text);
    try {
        return sim::ParseScript(input);
    } catch (const sim::TSimConfigError& e) {
        error = e.what();
        return std::nullopt;
    }
}

bool Same(const std::vector<TCounterSample>& a, const std::vector<TCounterSample>& b) {
    return a.size() == b.size() &&
           (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof a[0]) == 0);
}

// The script that gives these readings back: "gone" for the marker, which
// is also what a reading of all zeros is.
std::string ScriptOf(const std::vector<TCounterSample>& samples) {
    std::string text;
    for (const TCounterSample& s : samples) {
        const TSystemTime& t = s.Time;
        text += t.Year == 0 && t.Month == 0 && t.Day == 0 && t.Hour == 0 && t.Minute == 0 &&
                        t.Second == 0 && t.Milliseconds == 0 && s.Count == 0
                    ? "gone"
                    : std::to_string(t.Year) + "-" + std::to_string(t.Month) + "-" +
                          std::to_string(t.Day) + " " + std::to_string(t.Hour) + ":" +
                          std::to_string(t.Minute) + ":" + std::to_string(t.Second) + "." +
                          std::to_string(t.Milliseconds) + " " + std::to_string(s.Count);
        text += '\n';
    }
    return text;
}

std::size_t LineCount(std::string_view text) {
    const auto breaks = std::size_t(std::count(text.begin(), text.end(), '\n'));
    return breaks + (!text.empty() && text.back() != '\n' ? 1 : 0);
}

// The message names the first bad line, which exists.
void CheckError(const std::string& error, std::size_t lines) {
    Require(error.rfind("line ", 0) == 0, "a script error names its line");
    const std::size_t number = std::stoul(error.substr(5));
    Require(number >= 1 && number <= lines, "the line named is one of the script's");
}

// A connection reads the same from the file, or fails the same way with the
// variable and the file named first.
void CheckThroughFile(const std::string& text,
                      const std::optional<std::vector<TCounterSample>>& parsed,
                      const std::string& error) {
    static const fs::path path = fuzz::ScratchFile(".script");
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    const TEnvironment environment = [](const char* name) -> std::optional<std::string> {
        if (std::string_view(name) == sim::ScriptVariable) {
            return path.string();
        }
        return std::nullopt;
    };
    try {
        const sim::TSimConfig config = sim::ReadSimConfig(environment);
        Require(parsed && config.Script && Same(*config.Script, *parsed),
                "the file reads as the stream does");
    } catch (const sim::TSimConfigError& e) {
        Require(!parsed, "the file fails only where the stream does");
        Require(e.what() ==
                    std::string(sim::ScriptVariable) + ": \"" + path.string() + "\" " + error,
                "a file's error names the variable, the file and the line");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<std::vector<TCounterSample>> parsed = Parse(text, error);
    CheckThroughFile(text, parsed, error);
    if (!parsed) {
        CheckError(error, LineCount(text));
        return 0;
    }
    Require(parsed->size() <= LineCount(text), "at most one reading per line");
    for (const TCounterSample& sample : *parsed) {
        Require(sample.Time.DayOfWeek <= 6, "a day of the week is 0 to 6");
    }
    std::string again;
    const std::optional<std::vector<TCounterSample>> reread = Parse(ScriptOf(*parsed), again);
    Require(reread && Same(*reread, *parsed), "readings written as a script read back");
    return 0;
}
