// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/NewCommand.h"

namespace ostrel {

void NewClick(const std::function<void()>& forgetFileNames, TSeriesView& seriesCPM,
              TSeriesView& seriesSV, TRecords& records, TLogView& log) {
    forgetFileNames();
    seriesCPM.Clear();
    seriesSV.Clear();
    records.Clear();
    log.Clear();
}

} // namespace ostrel
