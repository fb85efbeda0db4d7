// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/NewCommand.h"

namespace ostrel {

void NewClick(const std::function<void()>& forgetFileNames, const TDisplayViews& views,
              TRecords& records) {
    forgetFileNames();
    views.ClearSeries();
    records.Clear();
    views.Log.Clear();
}

} // namespace ostrel
