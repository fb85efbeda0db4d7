// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/RebuildDisplay.h"

#include <string>

namespace ostrel {

void RebuildDisplay(const TRecords& records, double graphCoefficient, std::int32_t graphBackground,
                    const TDisplayViews& views, const TFormatSettings& fs) {
    TSeriesView& seriesCPM = views.SeriesCPM;
    TSeriesView& seriesSV = views.SeriesSV;
    TLogView& log = views.Log;
    views.BeginUpdate();
    views.ClearSeries();
    log.Clear();
    seriesCPM.Reserve(records.Count());
    seriesSV.Reserve(records.Count());
    log.Reserve(records.Count());
    // One line buffer for the whole rebuild: a line fits its first capacity.
    std::string line;
    for (std::size_t i = 0; i < records.Count(); ++i) {
        const TMinuteRecord& r = records[i];
        seriesCPM.AddY(r.Count, PointLabel(i, r.StartTime, fs));
        if (i < DoseRateWindow) {
            seriesSV.AddNull();
            line.clear();
            AppendLogLineText(line, r, fs);
        } else {
            const double dose = DoseRateBefore(records, i, graphCoefficient, graphBackground);
            seriesSV.AddY(dose, "");
            line.clear();
            AppendLogLineText(line, r, dose, fs);
        }
        log.Add(line);
    }
    views.EndUpdate();
    log.FollowLastLine();
}

} // namespace ostrel
