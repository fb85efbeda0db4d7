// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart's two series and the log list, which the live loop, the rebuild
// and New work on together.

#include "views/LogView.h"
#include "views/SeriesView.h"

namespace ostrel {

// The main window's views; the window owns them, the bundle only refers to
// them.
struct TDisplayViews {
    TSeriesView& SeriesCPM;
    TSeriesView& SeriesSV;
    TLogView& Log;

    // Brackets a bulk change of all of them: the series first and the log
    // list last, ended in the reverse order.
    void BeginUpdate() const {
        SeriesCPM.BeginUpdate();
        SeriesSV.BeginUpdate();
        Log.BeginUpdate();
    }
    void EndUpdate() const {
        Log.EndUpdate();
        SeriesSV.EndUpdate();
        SeriesCPM.EndUpdate();
    }
    // Empties every series, counts first. The log list is the caller's: New
    // empties the records between the series and the list.
    void ClearSeries() const {
        SeriesCPM.Clear();
        SeriesSV.Clear();
    }
};

} // namespace ostrel
