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
    for (std::size_t i = 0; i < records.Count(); ++i) {
        const TMinuteRecord& r = records[i];
        seriesCPM.AddY(r.Count, PointLabel(i, r.StartTime, fs));
        if (i < DoseRateWindow) {
            seriesSV.AddNull();
            log.Add(LogLineText(r, fs));
        } else {
            const double dose = DoseRateBefore(records, i, graphCoefficient, graphBackground);
            seriesSV.AddY(dose, "");
            log.Add(LogLineText(r, dose, fs));
        }
    }
    views.EndUpdate();
    log.FollowLastLine();
}

} // namespace ostrel
