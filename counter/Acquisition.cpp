// SPDX-License-Identifier: GPL-3.0-or-later
#include "counter/Acquisition.h"

#include "platform/Exceptions.h"
#include "platform/TextServices.h"
#include "platform/Translation.h"

#include <optional>
#include <string>
#include <vector>

namespace ostrel {

namespace {

// Holds the views' own work back for the length of one tick: they take in
// the tick's points and lines at its end, which makes a burst cost one
// layout of the log list and one rescale of the chart instead of one per
// reading (a list laid out again for every line of a 100,000-reading burst
// took minutes). Each reading is still handled as it is fetched, and what the
// views show after the tick is the same. The newest line is followed once,
// at the end, also when a reading's error ends the tick.
class TTickUpdate {
public:
    TTickUpdate(const TAcquisitionTargets& targets, const bool& linesAdded, TLogOutput* outputs)
        : Views(targets.Views), LinesAdded(linesAdded), Outputs(outputs) {
        Views.BeginUpdate();
    }
    ~TTickUpdate() {
        Views.EndUpdate();
        if (LinesAdded) {
            Views.Log.FollowLastLine();
            if (Outputs != nullptr) {
                Outputs->TickEnded();
            }
        }
    }
    TTickUpdate(const TTickUpdate&) = delete;
    TTickUpdate& operator=(const TTickUpdate&) = delete;

private:
    const TDisplayViews& Views;
    const bool& LinesAdded;
    TLogOutput* Outputs;
};

} // namespace

TAcquisition::TAcquisition(const TCounterEntryPoints& device, TAcquisitionTargets targets,
                           const TFormatSettings& formatSettings)
    : Device(device), Targets(targets), Fs(formatSettings) {}

void TAcquisition::SetTimerEnabled(bool enabled) {
    if (Enabled == enabled) {
        return;
    }
    Enabled = enabled;
    if (enabled && Outputs != nullptr) {
        Outputs->CounterConnected(DeviceId);
    }
    if (OnTimerSwitched) {
        OnTimerSwitched(enabled);
    }
    if (!enabled && Outputs != nullptr) {
        Outputs->CounterGone();
    }
}

void TAcquisition::StartClick() {
    if (Enabled || Device.Find == nullptr) {
        return;
    }
    const std::int32_t found = Device.Find();
    if (found <= 0) {
        return;
    }
    if (found > MaxCounters) {
        throw EDeviceError(
            Translate(OSTREL_TR("Ostrel", "デバイスライブラリが不正な台数を返しました: %s"),
                      FormatInt(found)));
    }
    std::vector<TDeviceInfo> infos(static_cast<std::size_t>(found), TDeviceInfo{});
    Device.GetInfo(infos.data());
    const std::uint32_t id = infos.front().Id;
    Device.Connect(id);
    DeviceId = id;
    SetTimerEnabled(true);
}

void TAcquisition::StopClick() {
    if (Device.Disconnect != nullptr) {
        Device.Disconnect(DeviceId);
    }
}

void TAcquisition::TimerTimer() {
    if (!Enabled || Device.GetData == nullptr) {
        return;
    }
    LinesAdded = false;
    // Begun with the first reading: an idle tick leaves the views alone.
    std::optional<TTickUpdate> update;
    TCounterSample sample{};
    for (std::size_t n = 0; n < MaxReadingsPerTick; ++n) {
        if (Device.GetData(&sample) == 0) {
            return;
        }
        if (sample.Time.Year == 0) {
            SetTimerEnabled(false);
            DeviceId = 0;
            return;
        }
        if (!update) {
            update.emplace(Targets, LinesAdded, Outputs);
        }
        HandleReading(sample);
    }
}

void TAcquisition::HandleReading(const TCounterSample& sample) {
    const std::uint16_t count = sample.Count;
    // Throws for an invalid date or time before anything changes: that
    // reading is lost, the next tick goes on.
    const TDateTime t = SystemTimeToDateTime(sample.Time);
    TSeriesView& seriesCPM = Targets.Views.SeriesCPM;
    const int lastPointIndex = seriesCPM.Count() - 1;
    const TDateTime key = MinuteKey(t, Fs);
    TRecords& records = Targets.Records;

    if (records.Empty()) {
        seriesCPM.AddY(count, FormatDateTime(MinuteTextPattern, t, Fs));
        records.Append({key, count});
        return;
    }
    if (records.Last().StartTime == key) {
        if (lastPointIndex >= 0) {
            const double y = seriesCPM.YValue(lastPointIndex);
            seriesCPM.SetYValue(lastPointIndex, y + count);
        }
        records.AddToLastCount(count);
        return;
    }
    StartNewMinute(key, count, lastPointIndex);
}

void TAcquisition::StartNewMinute(TDateTime key, std::uint16_t count, int lastPointIndex) {
    TRecords& records = Targets.Records;
    const TDisplayViews& views = Targets.Views;
    TLogView& log = views.Log;
    const TMinuteRecord finished = records.Last();
    const std::size_t k = records.Count();

    // A rebuild wrote a line for the minute that was in progress; the final
    // line replaces it.
    const std::string date = FormatDateTime(LineDateTextPattern, finished.StartTime, Fs);
    if (log.Count() > 0 && log.Item(log.Count() - 1).find(date) != std::string::npos) {
        log.Delete(log.Count() - 1);
    }

    views.SeriesCPM.AddY(count, PointLabel(k, key, Fs));
    std::string line;
    std::optional<double> dose;
    const auto window = static_cast<int>(DoseRateWindow);
    if (lastPointIndex < window || k < DoseRateWindow) {
        views.SeriesSV.AddNull();
        line = LogLineText(finished, Fs);
    } else {
        dose = DoseRateBefore(records, k, Targets.GraphCoefficient, Targets.GraphBackground);
        views.SeriesSV.AddY(*dose, "");
        line = LogLineText(finished, *dose, Fs);
    }
    records.Append({key, count});
    log.Add(line);
    if (Outputs != nullptr) {
        Outputs->MinuteFinished({finished, dose, line, k - 1});
    }
    // Followed once the tick is over (TTickUpdate).
    LinesAdded = true;
}

} // namespace ostrel
