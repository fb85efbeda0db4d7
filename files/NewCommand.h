// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// New: an empty log with no file.

#include "records/MinuteRecords.h"
#include "views/DisplayViews.h"

#include <functional>

namespace ostrel {

// Forgets both dialogs' file names, empties both series, the records and the
// log list, in this order. Nothing is asked and nothing saved first.
void NewClick(const std::function<void()>& forgetFileNames, const TDisplayViews& views,
              TRecords& records);

} // namespace ostrel
