// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// `ostrel --headless`: the logger without a window is a program of its own
// beside this one, which loads no widget library and needs no display.

namespace ostrel {

// Runs ostrel-headless from this program's folder with the same arguments,
// in this process's place where the system allows it; its exit status, or
// 1 with a line on the standard error stream when it cannot be started.
int RunHeadless(int argc, char** argv);

} // namespace ostrel
