// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/RebuildDisplay.h"

#include <memory>
#include <string>

namespace ostrel {

namespace {

// The rebuilt lines of every record but the newest, made when asked: those
// records never change again (only the newest one's count grows, and New
// clears the list along with the records), and the coefficient and
// background are the ones of this rebuild. The newest record's line is
// written out, since readings of its minute may still add to its count.
class TRebuiltLines : public TLineSource {
public:
    TRebuiltLines(const TRecords& records, std::size_t count, double graphCoefficient,
                  std::int32_t graphBackground, const TFormatSettings& fs)
        : Records(records), Lines(count), Coefficient(graphCoefficient),
          Background(graphBackground), Fs(fs) {}

    std::size_t Count() const override { return Lines; }
    void AppendLine(std::string& out, std::size_t k) const override {
        // The records are emptied a moment before the list is.
        if (k < Records.Count()) {
            AppendRebuiltLine(out, Records, k, Coefficient, Background, Fs);
        }
    }

private:
    const TRecords& Records;
    const std::size_t Lines;
    const double Coefficient;
    const std::int32_t Background;
    const TFormatSettings Fs;
};

} // namespace

void RebuildDisplay(const TRecords& records, double graphCoefficient, std::int32_t graphBackground,
                    const TDisplayViews& views, const TFormatSettings& fs) {
    TSeriesView& seriesCPM = views.SeriesCPM;
    TSeriesView& seriesSV = views.SeriesSV;
    TLogView& log = views.Log;
    const std::size_t n = records.Count();
    views.BeginUpdate();
    views.ClearSeries();
    log.Clear();
    seriesCPM.Reserve(n);
    seriesSV.Reserve(n);
    for (std::size_t i = 0; i < n; ++i) {
        const TMinuteRecord& r = records[i];
        seriesCPM.AddY(r.Count, PointLabel(i, r.StartTime, fs));
        if (i < DoseRateWindow) {
            seriesSV.AddNull();
        } else {
            seriesSV.AddY(DoseRateBefore(records, i, graphCoefficient, graphBackground), "");
        }
    }
    if (n > 0) {
        log.AddLines(
            std::make_shared<TRebuiltLines>(records, n - 1, graphCoefficient, graphBackground, fs));
        std::string line;
        AppendRebuiltLine(line, records, n - 1, graphCoefficient, graphBackground, fs);
        log.Add(line);
    }
    views.EndUpdate();
    log.FollowLastLine();
}

} // namespace ostrel
