// SPDX-License-Identifier: GPL-3.0-or-later
// The program as main() runs it, with the log list shown as soon as the main
// window is: what a window that logs costs while its list is in view. The
// program itself is unchanged; only the menu's "show the log" is chosen for
// the user.

#include "app/MainForm.h"
#include "app/Program.h"

int main(int argc, char** argv) {
    return ostrel::RunProgram(argc, argv, [](ostrel::TMainForm& form) { form.ShowClick(); });
}
