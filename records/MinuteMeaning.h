// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the log's minutes mean besides their lines, worked out once for every
// output: the dose of the log so far, the dose-rate alarm's state, and the
// mean count that a dose rate is made of.

#include "records/DoseAlarm.h"
#include "records/MinuteRecords.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace ostrel {

struct TAlarmState {
    bool Used = false;     // the settings set an alarm
    bool On = false;       // after this minute, or this log
    bool Switched = false; // this minute, or this log, switched it
    double SwitchedAt = 0; // the dose rate that switched it, µSv/h
};

// The µSv of one minute of a line's dose rate; none for a line without one.
double MinuteDose(std::optional<double> doseRate);
// The µSv of every line a rebuild writes for the records (the first
// DoseRateWindow carry no dose rate), added up as the live lines add up.
double RebuiltDose(const TRecords& records, double graphCoefficient, std::int32_t graphBackground);
// The dose rate of the newest line a rebuild writes for the records; none
// when it has none.
std::optional<double> NewestDoseRate(const TRecords& records, double graphCoefficient,
                                     std::int32_t graphBackground);
// The mean count of record k and the records before it that its line's dose
// rate is made of (fewer at the start of a log).
double RecentMeanCount(const TRecords& records, std::size_t k);

// The dose of the log so far and the alarm, from one line to the next.
class TLogMeaning {
public:
    explicit TLogMeaning(const TAlarmLevels& alarm = {}) : Levels(alarm), Alarm(alarm) {}

    // A new log: no dose yet. The alarm keeps its state until a line of the
    // new log carries a dose rate.
    void Began() { LogDose = 0; }
    // A log rebuilt from its records (Open, or the log taken up after a
    // crash): the dose of its lines, and the alarm at its newest line.
    TAlarmState Opened(const TRecords& records, double graphCoefficient,
                       std::int32_t graphBackground);
    // The same log's lines made again with another coefficient or
    // background: the alarm follows the newest line; the dose so far stays.
    TAlarmState Rebuilt(const TRecords& records, double graphCoefficient,
                        std::int32_t graphBackground);
    // A live line with this dose rate (none on the first lines of a log).
    TAlarmState Finished(std::optional<double> doseRate);

    // µSv, the latest line included.
    double Dose() const { return LogDose; }
    bool AlarmOn() const { return Alarm.IsOn(); }

private:
    TAlarmState Follow(std::optional<double> doseRate);

    TAlarmLevels Levels;
    TDoseAlarm Alarm;
    double LogDose = 0;
};

} // namespace ostrel
