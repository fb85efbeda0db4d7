// SPDX-License-Identifier: GPL-3.0-or-later
// The simulated counter's environment, on any values, and a connection run
// with what it gave. The input is up to four fields separated by NUL:
// OSTREL_SIM_CPM, OSTREL_SIM_SPEED, OSTREL_SIM_SEED (a missing field is an
// unset variable), then how far to move the simulated clock on.

#include "FuzzSupport.h"

#include "sim/SimConfig.h"
#include "sim/SimulatedCounter.h"

#include <charconv>
#include <cmath>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using namespace ostrel;
using fuzz::Require;

std::vector<std::string> Fields(std::string_view input) {
    std::vector<std::string> fields;
    while (!input.empty() && fields.size() < 4) {
        const std::size_t nul = input.find('\0');
        fields.emplace_back(input.substr(0, nul));
        input = nul == std::string_view::npos ? std::string_view() : input.substr(nul + 1);
    }
    return fields;
}

std::optional<std::string> Field(const std::vector<std::string>& fields, std::size_t k) {
    return k < fields.size() ? std::optional<std::string>(fields[k]) : std::nullopt;
}

bool Given(const std::optional<std::string>& value) {
    return value && !value->empty();
}

void CheckConfig(const sim::TSimConfig& config, const std::vector<std::string>& fields) {
    Require(std::isfinite(config.Cpm) && config.Cpm >= 0 && config.Cpm <= sim::MaxCpm,
            "the counts per minute are within range");
    Require(std::isfinite(config.Speed) && config.Speed >= 0 && config.Speed <= sim::MaxSpeed,
            "the speed is within range");
    Require(Given(Field(fields, 0)) || config.Cpm == sim::DefaultCpm,
            "unset counts per minute keep their default");
    Require(Given(Field(fields, 1)) || config.Speed == sim::DefaultSpeed,
            "an unset speed keeps its default");
    Require(Given(Field(fields, 2)) == config.Seed.has_value(), "a seed is taken when given");
    if (config.Seed) {
        std::uint64_t value = 0;
        const std::string& text = fields[2];
        std::from_chars(text.data(), text.data() + text.size(), value);
        Require(value == *config.Seed, "the seed is the number written");
    }
    Require(!config.Script, "no script without its variable");
}

// Readings come in batches that end, no more than a counter holds, and the
// gone marker follows a disconnection.
void RunConnection(const sim::TSimConfig& config, std::uint64_t advance) {
    sim::TSimulatedCounter counter;
    Require(counter.Connect(sim::SimulatedCounterId, config) == 1, "the counter connects");
    counter.AdvanceClock(std::int64_t(advance));
    TCounterSample sample{};
    std::int64_t readings = 0;
    while (counter.GetData(&sample) != 0) {
        Require(++readings <= sim::BacklogLimitSeconds + 1, "a batch ends");
        const TSystemTime& t = sample.Time;
        Require(t.Year != 0 && t.Month >= 1 && t.Month <= 12 && t.Day >= 1 && t.Day <= 31 &&
                    t.Hour <= 23 && t.Minute <= 59 && t.Second <= 60 && t.DayOfWeek <= 6,
                "a reading is stamped with a real local time");
        Require(config.Cpm > 0 || sample.Count == 0, "no counts at 0 counts per minute");
    }
    Require(counter.Disconnect(sim::SimulatedCounterId) == 1, "the counter disconnects");
    Require(counter.GetData(&sample) == 1 && sample.Time.Year == 0,
            "the gone marker follows a disconnection");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> fields =
        Fields(std::string_view(reinterpret_cast<const char*>(data), size));
    const TEnvironment environment = [&](const char* name) -> std::optional<std::string> {
        const std::string_view variable(name);
        if (variable == sim::CpmVariable) {
            return Field(fields, 0);
        }
        if (variable == sim::SpeedVariable) {
            return Field(fields, 1);
        }
        if (variable == sim::SeedVariable) {
            return Field(fields, 2);
        }
        return std::nullopt;
    };
    sim::TSimConfig config;
    try {
        config = sim::ReadSimConfig(environment);
    } catch (const sim::TSimConfigError& e) {
        const std::string text = e.what();
        Require(text.rfind(sim::CpmVariable, 0) == 0 || text.rfind(sim::SpeedVariable, 0) == 0 ||
                    text.rfind(sim::SeedVariable, 0) == 0,
                "an error names its variable first");
        return 0;
    }
    CheckConfig(config, fields);
    // Up to about a minute on the clock, or a hundred times that (past the
    // backlog a counter holds) when the field has a third byte.
    std::uint64_t advance = 0;
    if (const auto text = Field(fields, 3)) {
        const auto byte = [&](std::size_t k) {
            return k < text->size() ? std::uint64_t(static_cast<unsigned char>((*text)[k])) : 0;
        };
        advance = (byte(0) | byte(1) << 8) * (text->size() > 2 ? 100 : 1);
    }
    RunConnection(config, advance);
    return 0;
}
