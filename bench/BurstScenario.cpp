// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/BurstScenario.h"

#include "bench/LogScenario.h"
#include "bench/OpenScenario.h"
#include "display/Chart.h"
#include "display/ChartViews.h"
#include "display/ClientArea.h"
#include "display/LogList.h"

#include <QtTest/QTest>

#include <stdexcept>
#include <utility>

namespace ostrel::bench {

namespace {

// The one device whose queue the entry points serve.
TBurstDevice* CurrentDevice = nullptr;

constexpr std::uint32_t BurstDeviceId = 1;
constexpr int StartWidth = 572;
constexpr int StartHeight = 377;

std::int32_t PEXLAR_CALL Find() {
    return 1;
}

std::int32_t PEXLAR_CALL GetInfo(TDeviceInfo* infos) {
    infos[0].Id = BurstDeviceId;
    return 1;
}

std::int32_t PEXLAR_CALL Acknowledge(std::uint32_t) {
    return 1;
}

TCounterSample Reading(const TScenarioMinute& m, int second, int milliseconds, std::int32_t count) {
    TCounterSample sample{};
    sample.Time = {static_cast<std::uint16_t>(m.Year),
                   static_cast<std::uint16_t>(m.Month),
                   0,
                   static_cast<std::uint16_t>(m.Day),
                   static_cast<std::uint16_t>(m.Hour),
                   static_cast<std::uint16_t>(m.Minute),
                   static_cast<std::uint16_t>(second),
                   static_cast<std::uint16_t>(milliseconds)};
    sample.Count = static_cast<std::uint16_t>(count);
    return sample;
}

std::string Mismatch(const std::string& what, std::size_t got, std::size_t expected) {
    return what + " " + std::to_string(got) + ", expected " + std::to_string(expected);
}

std::optional<std::string> CheckOneMinute(TBurstRig& rig, std::size_t n) {
    std::int64_t sum = 0;
    for (std::size_t k = 0; k < n; ++k) {
        sum += ScenarioCount(k);
    }
    const TRecords& records = rig.Records();
    const TChartSeries& cpm = rig.Chart().SeriesCPM();
    if (records.Count() != 1 || cpm.Count() != 1) {
        return Mismatch("records", records.Count(), 1) + "; points " + std::to_string(cpm.Count());
    }
    if (records[0].StartTime != ScenarioRecord(0, ScenarioFormatSettings()).StartTime ||
        records[0].Count != sum || cpm.YValue(0) != static_cast<double>(sum)) {
        return "the minute holds " + std::to_string(records[0].Count) + " counts, its point " +
               std::to_string(cpm.YValue(0)) + ", expected " + std::to_string(sum);
    }
    if (cpm.Label(0).toStdString() != MinuteText(0)) {
        return "label \"" + cpm.Label(0).toStdString() + "\", expected \"" + MinuteText(0) + "\"";
    }
    if (rig.Chart().SeriesSV().Count() != 0 || rig.Log().Count() != 0) {
        return "a dose-rate point or a line for the minute in progress";
    }
    return std::nullopt;
}

std::optional<std::string> CheckMinute(TBurstRig& rig, std::size_t k, std::size_t n) {
    const TFormatSettings fs = ScenarioFormatSettings();
    const TMinuteRecord expected = ScenarioRecord(k, fs);
    const TMinuteRecord& got = rig.Records()[k];
    if (got.StartTime != expected.StartTime || got.Count != expected.Count) {
        return "record " + std::to_string(k) + " differs";
    }
    const TChartSeries& cpm = rig.Chart().SeriesCPM();
    const int index = static_cast<int>(k);
    const bool labelled = k == 0 || ScenarioMinute(k).Minute % 10 == 0;
    if (cpm.YValue(index) != expected.Count ||
        cpm.Label(index).toStdString() != (labelled ? MinuteText(k) : std::string())) {
        return "counts point " + std::to_string(k) + " differs";
    }
    if (k + 1 == n) {
        return std::nullopt; // the minute in progress has no line and no dose point
    }
    if (rig.Chart().SeriesSV().IsNull(index) != (k < 10)) {
        return "dose-rate point " + std::to_string(k) + (k < 10 ? " not null" : " null");
    }
    const std::string line = rig.Log().Item(index);
    if (line != LiveLine(k)) {
        return "line " + std::to_string(k) + ": \"" + line + "\", expected \"" + LiveLine(k) + "\"";
    }
    return std::nullopt;
}

std::optional<std::string> CheckNewMinutes(TBurstRig& rig, std::size_t n) {
    const std::size_t lines = n > 0 ? n - 1 : 0;
    if (rig.Records().Count() != n) {
        return Mismatch("records", rig.Records().Count(), n);
    }
    if (static_cast<std::size_t>(rig.Chart().SeriesCPM().Count()) != n ||
        static_cast<std::size_t>(rig.Chart().SeriesSV().Count()) != lines) {
        return Mismatch("counts points", std::size_t(rig.Chart().SeriesCPM().Count()), n) + "; " +
               Mismatch("dose points", std::size_t(rig.Chart().SeriesSV().Count()), lines);
    }
    if (static_cast<std::size_t>(rig.Log().Count()) != lines) {
        return Mismatch("lines", std::size_t(rig.Log().Count()), lines);
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (auto problem = CheckMinute(rig, k, n)) {
            return problem;
        }
    }
    const int selected = rig.Log().IsVisible() ? rig.Log().Count() - 1 : -1;
    if (rig.Log().ItemIndex() != selected) {
        return "selected line " + std::to_string(rig.Log().ItemIndex()) + ", expected " +
               std::to_string(selected);
    }
    return std::nullopt;
}

} // namespace

std::vector<TCounterSample> BurstReadings(std::size_t n, TBurstKind kind) {
    std::vector<TCounterSample> readings;
    readings.reserve(n);
    const TScenarioMinute first = ScenarioMinute(0);
    for (std::size_t k = 0; k < n; ++k) {
        const std::int32_t count = ScenarioCount(k);
        if (kind == TBurstKind::OneMinute) {
            readings.push_back(
                Reading(first, static_cast<int>(k / 1000 % 60), static_cast<int>(k % 1000), count));
        } else {
            readings.push_back(Reading(ScenarioMinute(k), static_cast<int>(k % 60),
                                       static_cast<int>(k * 7 % 1000), count));
        }
    }
    return readings;
}

TBurstDevice::TBurstDevice(std::vector<TCounterSample> readings, bool onePerTick)
    : Readings(std::move(readings)), OnePerTick(onePerTick) {
    if (CurrentDevice != nullptr) {
        throw std::logic_error("only one burst device at a time");
    }
    CurrentDevice = this;
    Entries.Find = Find;
    Entries.GetInfo = GetInfo;
    Entries.Connect = Acknowledge;
    Entries.Disconnect = Acknowledge;
    Entries.GetData = GetData;
}

TBurstDevice::~TBurstDevice() {
    CurrentDevice = nullptr;
}

std::int32_t PEXLAR_CALL TBurstDevice::GetData(TCounterSample* sample) {
    TBurstDevice& device = *CurrentDevice;
    ++device.Calls;
    if (device.Next == device.Readings.size() || (device.OnePerTick && device.TickHadOne)) {
        device.TickHadOne = false;
        return 0;
    }
    *sample = device.Readings[device.Next++];
    device.TickHadOne = true;
    return 1;
}

std::size_t TBurstDevice::DrainOnly() {
    TCounterSample sample{};
    std::size_t fetched = 0;
    while (Entries.GetData(&sample) != 0) {
        ++fetched;
    }
    return fetched;
}

TBurstRig::TBurstRig(const TBurstDevice& device, bool logShown,
                     const std::filesystem::path& journalFolder, TLogOutputs more)
    : Fs(ScenarioFormatSettings()) {
    ChartWidget = new TChart(Fs);
    Client = std::make_unique<TClientArea>(ChartWidget);
    Client->resize(StartWidth, StartHeight);
    if (logShown) {
        Client->ShowClick();
    } else {
        Client->HideClick();
    }
    Client->show();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(Client.get());
    TLoggerOptions options;
    options.Device = &device.EntryPoints();
    options.FormatSettings = Fs;
    if (!journalFolder.empty()) {
        options.Outputs.push_back(
            std::make_unique<TJournal>(journalFolder, [this](const TJournalFailure& f) {
                const std::lock_guard lock(FailureMutex);
                Failure = JournalFailureText(f);
            }));
    }
    for (auto& output : more) {
        options.Outputs.push_back(std::move(output));
    }
    Session =
        std::make_unique<TLogger>(std::move(options), ChartViews(*ChartWidget, Client->Log()));
    Session->GraphCoefficient = ScenarioCoefficient;
    Session->GraphBackground = ScenarioBackground;
    Session->New();
    // What New changed is drawn before any tick is timed.
    TOpenScenario::Settle();
}

TBurstRig::~TBurstRig() = default;

std::optional<std::string> TBurstRig::JournalFailure() const {
    const std::lock_guard lock(FailureMutex);
    return Failure;
}

TLogList& TBurstRig::Log() {
    return Client->Log();
}

void TBurstRig::Start() {
    Session->Start();
    Session->Timer().stop();
}

void TBurstRig::Tick() {
    Session->Tick();
}

std::optional<std::string> CheckBurst(TBurstRig& rig, std::size_t n, TBurstKind kind) {
    return kind == TBurstKind::OneMinute ? CheckOneMinute(rig, n) : CheckNewMinutes(rig, n);
}

} // namespace ostrel::bench
