// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program from its command line to its exit status: the options, the
// language, the logger without a window when asked for, else the window.

#include <functional>

namespace ostrel {

class TMainForm;

// Called once the main window is shown; for tests that read the window the
// user sees.
using TShownHook = std::function<void(TMainForm& form)>;

int RunProgram(int argc, char** argv, const TShownHook& shown = {});

} // namespace ostrel
