// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The outputs in use, assembled in one place: the window and a logger
// without a window take the same list.

#include "records/LogOutput.h"

namespace ostrel {

// Every output that its settings turn on, in the order they are told of a
// minute: the journal first, so that a minute is on the disk before it
// travels.
TLogOutputs MakeOutputs(const TOutputContext& context);

} // namespace ostrel
