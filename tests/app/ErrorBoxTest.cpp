// SPDX-License-Identifier: GPL-3.0-or-later
// The text and caption of the error box, and that failures never stack boxes.

#include "app/ErrorBox.h"

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>
#include <vector>

namespace ostrel {
namespace {

TEST(ErrorBoxText, AFullStopFollowsTextsEndingAfterTheFullStopInCodeOrder) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"日付に変換できない値が渡されました", "日付に変換できない値が渡されました."},
        {"/tmp/a.ini に書き込めません", "/tmp/a.ini に書き込めません."},
        {"value 7", "value 7."},
        {"ends in a letter", "ends in a letter."},
        {"already.", "already."},
        {"ファイル x は開けません。 y ", "ファイル x は開けません。 y "},
        {"dash-", "dash-"},
        {"comma,", "comma,"},
        {"slash/", "slash/."},
        {"接続されていません。", "接続されていません。."},
        {"", ""},
    };
    for (const auto& [message, text] : cases) {
        EXPECT_EQ(ErrorBoxText(message), text) << message;
    }
}

TEST(ApplicationTitle, FileNameUpToTheFirstDotWithTheRestInLowerCase) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/usr/bin/ostrel", "ostrel"},
        {"C:\\Program Files\\OSTREL.EXE", "Ostrel"},
        {"/opt/Ostrel.v2.bin", "Ostrel"},
        {"/a.b/MyLogger", "Mylogger"},
        {"x", "x"},
    };
    for (const auto& [path, title] : cases) {
        EXPECT_EQ(ApplicationTitle(path), title) << path;
    }
}

TEST(RunGuarded, AnEscapingFailureIsShownOnceAndNeverWhileABoxIsOpen) {
    std::vector<std::string> shown;
    SetErrorBoxSink([&](const std::string& text, const std::string&) {
        shown.push_back(text);
        // While this box is "open", a failure of the event loop underneath
        // it must not open another one.
        RunGuarded([] { throw std::runtime_error("second"); });
    });
    RunGuarded([] { throw std::runtime_error("first"); });
    RunGuarded([] { throw 42; });
    RunGuarded([] {});
    RunGuarded([] { throw std::bad_alloc(); });
    RunGuarded([] { throw std::bad_array_new_length(); });
    SetErrorBoxSink(nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"first.", "", "メモリが足りません.",
                                               "メモリが足りません."}));
}

} // namespace
} // namespace ostrel
