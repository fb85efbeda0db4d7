// SPDX-License-Identifier: GPL-3.0-or-later
#include "records/MinuteMeaning.h"

#include <cmath>

namespace ostrel {

double MinuteDose(std::optional<double> doseRate) {
    return doseRate && std::isfinite(*doseRate) ? *doseRate / 60 : 0.0;
}

double RebuiltDose(const TRecords& records, double graphCoefficient, std::int32_t graphBackground) {
    double dose = 0;
    for (std::size_t i = DoseRateWindow; i < records.Count(); ++i) {
        dose += MinuteDose(DoseRateBefore(records, i, graphCoefficient, graphBackground));
    }
    return dose;
}

std::optional<double> NewestDoseRate(const TRecords& records, double graphCoefficient,
                                     std::int32_t graphBackground) {
    const std::size_t count = records.Count();
    if (count <= DoseRateWindow) {
        return std::nullopt;
    }
    // The rebuild gives line i the dose rate of the records before it.
    return DoseRateBefore(records, count - 1, graphCoefficient, graphBackground);
}

double RecentMeanCount(const TRecords& records, std::size_t k) {
    const std::size_t from = k + 1 > DoseRateWindow ? k + 1 - DoseRateWindow : 0;
    double sum = 0;
    for (std::size_t j = from; j <= k; ++j) {
        sum += records[j].Count;
    }
    return sum / static_cast<double>(k + 1 - from);
}

TAlarmState TLogMeaning::Opened(const TRecords& records, double graphCoefficient,
                                std::int32_t graphBackground) {
    LogDose = RebuiltDose(records, graphCoefficient, graphBackground);
    return Follow(NewestDoseRate(records, graphCoefficient, graphBackground));
}

TAlarmState TLogMeaning::Rebuilt(const TRecords& records, double graphCoefficient,
                                 std::int32_t graphBackground) {
    return Follow(NewestDoseRate(records, graphCoefficient, graphBackground));
}

TAlarmState TLogMeaning::Finished(std::optional<double> doseRate) {
    LogDose += MinuteDose(doseRate);
    return Follow(doseRate);
}

TAlarmState TLogMeaning::Follow(std::optional<double> doseRate) {
    if (!Levels.Enabled()) {
        return {};
    }
    const bool switched = Alarm.Follow(doseRate);
    return {true, Alarm.IsOn(), switched, switched ? *doseRate : 0.0};
}

} // namespace ostrel
