// SPDX-License-Identifier: GPL-3.0-or-later
// The main window as a whole: start-up and shut-down in order, the menu, and
// the commands wired to the layers below, with the simulated counter library.

#include "app/ErrorBox.h"
#include "app/MainForm.h"
#include "dialogs/OKRightDlg.h"
#include "display/Chart.h"
#include "display/ClientArea.h"
#include "display/LogList.h"
#include "support/Environment.h"
#include "support/MainFormFixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <thread>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace ostrel {
namespace {

using MainFormTest = test::TMainFormFixture;

TEST_F(MainFormTest, StartsWithDefaultsAHiddenLogAndAnEmptyChart) {
    auto form = Make();
    EXPECT_TRUE(Messages.empty());
    EXPECT_TRUE(form->Logger().Library().IsLoaded());
    EXPECT_EQ(form->Logger().GraphCoefficient, 0.00158);
    EXPECT_EQ(form->Logger().GraphBackground, 0);
    EXPECT_EQ(form->Logger().DeviceId(), 0u);
    EXPECT_FALSE(form->Log().IsVisible());
    EXPECT_TRUE(form->ClientArea().Splitter().isHidden());
    EXPECT_EQ(form->Chart().SeriesCPM().Count(), 0);
    EXPECT_FALSE(form->Logger().Timer().isActive());
    EXPECT_EQ(form->Logger().Timer().interval(), 100);
    EXPECT_EQ(form->windowTitle().toStdString(), "Ostrel Ver.1.4");
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    EXPECT_EQ(form->centralWidget()->size(), QSize(572, 377));
    EXPECT_EQ(form->Chart().geometry(), QRect(0, 0, 572, 377));
}

// Every item, found under its menu by the caption the user reads, runs its
// command, in an order in which each leaves a trace.
TEST_F(MainFormTest, EveryMenuItemRunsItsCommand) {
    auto form = Make();
    TOKRightDlg dialog;
    form->SetSettingsDialog(&dialog);
    const std::string file = (Folder / "log.csv").string();
    const std::string line = "11/07/16, 09:05, 7";
    form->Logger().Records.Append({EncodeDate(2011, 7, 16) + EncodeTime(9, 5, 0, 0), 7});
    Chooser->Next = file;
    struct TItem {
        const char* Menu;
        const char* Item;
        std::function<void()> Before;
        std::function<bool()> Done;
    };
    const auto nothing = [] {};
    const auto calls = [this](const std::string& name) {
        return [this, name] { return std::string(CallLog()).find(name) != std::string::npos; };
    };
    const TItem items[] = {
        {"設定(&S)", "ログを表示(&S)...", nothing, [&] { return form->Log().IsVisible(); }},
        {"ロガー(&L)", "グラフ再描画(&G)", nothing, [&] { return form->Log().Count() == 1; }},
        {"ファイル(&F)", "名前をつけて保存(&A)...", nothing,
         [&] { return test::ReadFile(file) == line + "\r\n"; }},
        {"ファイル(&F)", "新規作成(&N)", nothing, [&] { return form->Log().Count() == 0; }},
        {"ファイル(&F)", "開く(&O)...", nothing, [&] { return form->Log().Count() == 1; }},
        {"ファイル(&F)", "上書き保存(&S)", [&] { std::ofstream(file) << "x"; },
         [&] { return test::ReadFile(file) == line + "\r\n"; }},
        {"設定(&S)", "ログを隠す(&H)", nothing, [&] { return !form->Log().IsVisible(); }},
        {"ロガー(&L)", "接続/開始(&B)", nothing, calls("Connect")},
        {"設定(&S)", "各種設定(&M)...",
         [&] { QTimer::singleShot(0, &dialog, [&] { dialog.reject(); }); },
         calls("GetCoefficient")},
        {"ロガー(&L)", "切断/停止(&S)", nothing, calls("Disconnect")},
        {"ファイル(&F)", "終了(&X)", nothing, [&] { return !form->isVisible(); }},
    };
    form->show();
    for (const TItem& item : items) {
        QAction* found = nullptr;
        for (QAction* top : form->menuBar()->actions()) {
            for (QAction* action : top->menu()->actions()) {
                if (top->text() == QString::fromUtf8(item.Menu) &&
                    action->text() == QString::fromUtf8(item.Item)) {
                    found = action;
                }
            }
        }
        ASSERT_NE(found, nullptr) << item.Menu << " " << item.Item;
        EXPECT_TRUE(found->isEnabled() && found->shortcut().isEmpty()) << item.Item;
        item.Before();
        found->trigger();
        EXPECT_TRUE(item.Done()) << item.Item;
    }
    EXPECT_TRUE(Errors.empty());
}

// Minimized, the window takes in new points without drawing them; shown
// again, it draws them once.
TEST_F(MainFormTest, AMinimizedWindowDrawsOnlyOnceShownAgain) {
    auto form = Make();
    form->show();
    QCoreApplication::processEvents();
    QSignalSpy replots(&form->Chart(), &QCustomPlot::afterReplot);
    const std::function<void()> steps[] = {
        [&] { form->showMinimized(); },
        [&] { form->Chart().SeriesCPM().AddY(12, ""); },
        [&] { form->Chart().SeriesCPM().SetYValue(0, 13); },
        [&] { form->showNormal(); },
    };
    const int replotsAfter[] = {0, 0, 0, 1};
    for (std::size_t k = 0; k < std::size(steps); ++k) {
        steps[k]();
        QCoreApplication::processEvents();
        EXPECT_EQ(replots.count(), replotsAfter[k]) << "after step " << k;
    }
    EXPECT_EQ(form->Chart().SeriesCPM().YValue(0), 13);
}

TEST_F(MainFormTest, StoredSettingsAreReadAndTheBackgroundTruncated) {
    const std::vector<std::tuple<std::string, double, std::int32_t>> cases = {
        {"[Graph]\r\nuSv=0.002\r\nBackGround=12.9\r\n", 0.002, 12},
        {"[graph]\nUSV=1E-3\nbackground=-3.7\n", 0.001, -3},
        {"[Graph]\nuSv=abc\nBackGround=1e2\n", 0.00158, 100},
        {"[Graph]\nuSv=0,002\nBackGround=x\n", 0.00158, 0},
    };
    for (const auto& [text, coefficient, background] : cases) {
        WriteIni(text);
        auto form = Make();
        EXPECT_EQ(form->Logger().GraphCoefficient, coefficient) << text;
        EXPECT_EQ(form->Logger().GraphBackground, background) << text;
    }
}

TEST_F(MainFormTest, EndingWritesBothSettingsThenUnloadsTheLibrary) {
    auto form = Make();
    form->Logger().GraphCoefficient = 0.0025;
    form->Logger().GraphBackground = -7;
    CallLog();
    form.reset();
    EXPECT_EQ(test::ReadFile(Ini), "[Graph]\r\nuSv=0.0025\r\nBackGround=-7\r\n");
    EXPECT_EQ(std::string(CallLog()), "Clear");
    EXPECT_TRUE(Errors.empty());
}

TEST_F(MainFormTest, WithoutTheLibraryItSaysSoAndStillReadsAndWritesTheSettings) {
    WriteIni("[Graph]\nuSv=0.003\n");
    auto form = Make({Dir.path().toStdString() + "/" + CounterLibraryFileName});
    EXPECT_EQ(Messages,
              (std::vector<std::pair<std::string, std::string>>{{"DLLが読めません", "エラー"}}));
    EXPECT_FALSE(form->Logger().Library().IsLoaded());
    EXPECT_EQ(form->Logger().GraphCoefficient, 0.003);
    form->StartClick(); // nothing to connect, nothing to crash
    EXPECT_FALSE(form->Logger().Timer().isActive());
    form.reset();
    EXPECT_EQ(test::ReadFile(Ini), "[Graph]\nuSv=0.003\nBackGround=0\n");
}

TEST_F(MainFormTest, ASettingsFileThatCannotBeWrittenIsReportedAndTheLibraryStillReleased) {
    const std::filesystem::path missing = Folder / "gone" / "ostrel.ini";
    TMainFormOptions options;
    options.LibraryCandidates = {test::SimPath};
    options.SettingsPath = missing;
    options.ShowMessage = [](const std::string&, const std::string&) {};
    auto form = std::make_unique<TMainForm>(std::move(options));
    CallLog();
    form.reset();
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0].first, missing.string() + " に書き込めません.");
    EXPECT_EQ(std::string(CallLog()), "Clear");
}

TEST_F(MainFormTest, LogsTheSimulatedCounterThroughTheMenuCommands) {
    const std::filesystem::path script = Folder / "script.txt";
    std::ofstream(script) << "2011-07-16 09:05:10.000 3\n"
                             "2011-07-16 09:05:50.000 4\n"
                             "2011-07-16 09:06:00.000 5\n"
                             "2011-13-16 09:06:00.000 1\n"
                             "2011-07-16 09:07:00.000 6\n";
    test::SetEnv("OSTREL_SIM_SCRIPT", script.string());
    auto form = Make();
    form->ShowClick();
    form->findChild<QAction*>("Start")->trigger();
    test::UnsetEnv("OSTREL_SIM_SCRIPT");
    EXPECT_NE(form->Logger().DeviceId(), 0u);
    EXPECT_TRUE(form->Logger().Timer().isActive());

    // The month-13 reading escapes the tick into the error box after the
    // three before it were handled; the timer goes on.
    RunGuarded([&] { form->TimerTimer(); });
    EXPECT_EQ(form->Logger().Records.Count(), 2u);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0].first, "日付に変換できない値が渡されました.");
    EXPECT_EQ(Errors[0].second, "Mainformwidgettest");
    EXPECT_TRUE(form->Logger().Timer().isActive());
    RunGuarded([&] { form->TimerTimer(); });
    EXPECT_EQ(form->Logger().Records.Count(), 3u);
    EXPECT_EQ(form->Log().Lines(),
              (std::vector<std::string>{"11/07/16, 09:05, 7", "11/07/16, 09:06, 5"}));
    EXPECT_EQ(form->Log().ItemIndex(), 1);

    form->findChild<QAction*>("Stop")->trigger();
    RunGuarded([&] { form->TimerTimer(); });
    EXPECT_FALSE(form->Logger().Timer().isActive());
    EXPECT_EQ(form->Logger().DeviceId(), 0u);
}

TEST_F(MainFormTest, RedrawWritesALineForTheMinuteInProgress) {
    auto form = Make();
    form->Logger().Records.Append({EncodeDate(2011, 7, 16) + EncodeTime(9, 5, 0, 0), 7});
    form->findChild<QAction*>("RedrawGraphs")->trigger();
    EXPECT_EQ(form->Log().Lines(), std::vector<std::string>{"11/07/16, 09:05, 7"});
    EXPECT_EQ(form->Chart().SeriesSV().Count(), 1);
}

TEST_F(MainFormTest, NewEmptiesEverythingAndForgetsTheFile) {
    auto form = Make();
    const std::string file = (Folder / "log.csv").string();
    std::ofstream(file, std::ios::binary) << "11/07/16, 09:05, 7\r\n11/07/16, 09:06, 8\r\n";
    Chooser->Next = file;
    form->findChild<QAction*>("Open")->trigger();
    EXPECT_EQ(form->Logger().Records.Count(), 2u);
    EXPECT_EQ(form->Logger().Files().FileName(), file);
    EXPECT_EQ(form->Chart().SeriesCPM().Count(), 2);

    form->findChild<QAction*>("New")->trigger();
    EXPECT_TRUE(form->Logger().Records.Empty());
    EXPECT_EQ(form->Log().Count(), 0);
    EXPECT_EQ(form->Chart().SeriesCPM().Count(), 0);
    EXPECT_EQ(form->Chart().SeriesSV().Count(), 0);
    EXPECT_EQ(form->Logger().Files().FileName(), "");
}

TEST_F(MainFormTest, AFileThatCannotBeOpenedGoesToTheErrorBoxAndChangesNothing) {
    auto form = Make();
    form->Logger().Records.Append({0, 1});
    Chooser->Next = (Folder / "missing.csv").string();
    form->findChild<QAction*>("Open")->trigger();
    ASSERT_EQ(Errors.size(), 1u);
    // The path as the system writes it (with "\\" on Windows).
    const std::string shown = std::filesystem::path(*Chooser->Next).make_preferred().string();
    EXPECT_EQ(Errors[0].first.rfind("ファイル " + shown + " は開けません。 ", 0), 0u)
        << Errors[0].first;
    EXPECT_EQ(form->Logger().Records.Count(), 1u);
}

#ifndef _WIN32
struct TOddFileCase {
    const char* Name;
    const char* Reason;
    void (*Make)(const std::filesystem::path& file);
};
void PrintTo(const TOddFileCase& c, std::ostream* os) {
    *os << c.Name;
}

class OddFileTest : public test::TMainFormFixture,
                    public testing::WithParamInterface<TOddFileCase> {};

// Open refuses at once what is not a regular file, and a file too large to
// hold before reading it: the error box says why, nothing else changes.
TEST_P(OddFileTest, OpenRefusesItAndChangesNothing) {
    auto form = Make();
    const std::string good = (Folder / "good.csv").string();
    std::ofstream(good, std::ios::binary) << "11/07/16, 09:05, 7\r\n11/07/16, 09:06, 8\r\n";
    Chooser->Next = good;
    form->findChild<QAction*>("Open")->trigger();
    ASSERT_EQ(form->Logger().Records.Count(), 2u);

    const std::filesystem::path odd = Folder / "odd.csv";
    GetParam().Make(odd);
    // A writer that opens the pipe once someone reads it, and then closes
    // it: a program that waits for one reads an empty file and opens it.
    std::thread writer;
    if (std::filesystem::is_fifo(odd)) {
        writer = std::thread([odd] { ::close(::open(odd.c_str(), O_WRONLY)); });
    }
    Chooser->Next = odd.string();
    form->findChild<QAction*>("Open")->trigger();
    if (writer.joinable()) {
        const int reader = ::open(odd.c_str(), O_RDONLY | O_NONBLOCK);
        writer.join();
        ::close(reader);
    }
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0].first,
              "ファイル " + odd.string() + " は開けません。 " + GetParam().Reason + " ");
    EXPECT_EQ(form->Logger().Records.Count(), 2u);
    EXPECT_EQ(form->Log().Lines(),
              (std::vector<std::string>{"11/07/16, 09:05, 7", "11/07/16, 09:06, 8"}));
    EXPECT_EQ(form->Logger().Files().FileName(), good);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, OddFileTest,
    testing::Values(TOddFileCase{"Fifo", "通常のファイルではありません",
                                 [](const std::filesystem::path& file) {
                                     ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
                                 }},
                    TOddFileCase{"EndlessDevice", "通常のファイルではありません",
                                 [](const std::filesystem::path& file) {
                                     std::filesystem::create_symlink("/dev/zero", file);
                                 }},
                    TOddFileCase{"Socket", "通常のファイルではありません",
                                 [](const std::filesystem::path& file) {
                                     const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
                                     sockaddr_un address{};
                                     address.sun_family = AF_UNIX;
                                     ASSERT_LT(file.string().size(), sizeof address.sun_path);
                                     std::strcpy(address.sun_path, file.c_str());
                                     ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address),
                                                      sizeof address),
                                               0);
                                     ::close(fd);
                                 }},
                    TOddFileCase{"Folder", "Is a directory",
                                 [](const std::filesystem::path& file) {
                                     std::filesystem::create_directory(file);
                                 }},
                    // A terabyte without a byte on disk: refused before any is read.
                    TOddFileCase{"LargerThanMemory", "大きすぎてメモリに読み込めません",
                                 [](const std::filesystem::path& file) {
                                     std::ofstream{file};
                                     std::filesystem::resize_file(file, std::uintmax_t(1) << 40);
                                 }}),
    [](const auto& info) { return std::string(info.param.Name); });
#endif

TEST_F(MainFormTest, ExitClosesTheWindowLikeTheTitleBar) {
    auto form = Make();
    form->show();
    form->findChild<QAction*>("Exit")->trigger();
    EXPECT_FALSE(form->isVisible());
}

TEST_F(MainFormTest, ShowAndHideTheLog) {
    auto form = Make();
    form->findChild<QAction*>("Show")->trigger();
    EXPECT_TRUE(form->Log().IsVisible());
    EXPECT_FALSE(form->ClientArea().Splitter().isHidden());
    form->findChild<QAction*>("Hide")->trigger();
    EXPECT_FALSE(form->Log().IsVisible());
}

} // namespace
} // namespace ostrel
