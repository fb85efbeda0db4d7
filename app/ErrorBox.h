// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How an unexpected failure reaches the user: one message box, the program
// goes on.

#include <functional>
#include <string>
#include <string_view>

class QWidget;

namespace ostrel {

// The message with "." appended when its last character comes after "." in
// code order (a letter, a digit, a Japanese character).
std::string ErrorBoxText(std::string_view message);

// The executable's file name up to its first ".", every character after the
// first in lower case: "/usr/bin/ostrel" -> "ostrel",
// "OSTREL.EXE" -> "Ostrel".
std::string ApplicationTitle(std::string_view executablePath);

// Shows the error box (error icon, OK, the application's title), owned by the
// active window. While one is open, further errors are not shown: a stream of
// failures must not stack boxes without end. False when it was not shown.
bool ShowErrorBox(std::string_view message);

// Shows the exception being handled in the error box; only inside a catch.
// Memory running out is told in words of the program's own.
void ShowCurrentException();

// Runs a handler; an exception that escapes it is shown in the error box.
void RunGuarded(const std::function<void()>& handler);

// For tests: replaces the box by a function that receives its text and
// caption (nullptr restores the box).
void SetErrorBoxSink(std::function<void(const std::string& text, const std::string& caption)> sink);

} // namespace ostrel
