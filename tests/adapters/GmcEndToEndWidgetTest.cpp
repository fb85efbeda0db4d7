// SPDX-License-Identifier: GPL-3.0-or-later
// The real main window with the GMC adapter library and a fake GMC counter on
// a pseudo-terminal: connect from the menu, minutes logged from heartbeats,
// stop, and the cable pulled and plugged back in.

#include "adapters/AdapterTestSupport.h"
#include "adapters/PtyFakes.h"
#include "adapters/SerialCounter.h"
#include "app/ErrorBox.h"
#include "app/MainForm.h"
#include "counter/CounterLibrary.h"
#include "display/LogList.h"
#include "platform/DynamicLibrary.h"

#include <QAction>
#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <unistd.h>

namespace ostrel {
namespace {

using adapters::test::LocalMilliseconds;
using adapters::test::TFakeGmc;
using Lines = std::vector<std::string>;

const std::string GmcLibraryPath = std::string(OSTREL_BIN_DIR) + "/adapters/libPexlarGmc.so";

class GmcEndToEndTest : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    std::string StatePath = Dir.filePath("gmc.state").toStdString();
    std::vector<std::pair<std::string, std::string>> Messages;
    std::vector<std::pair<std::string, std::string>> Errors;
    // Keeps the adapter loaded across the window's life, for its clock.
    TDynamicLibrary Adapter;
    using THoldClockFn = void (*)(std::int64_t unixMilliseconds);
    THoldClockFn HoldClock = nullptr;

    void SetUp() override {
        SetErrorBoxSink([this](const std::string& text, const std::string& caption) {
            Errors.emplace_back(text, caption);
        });
        Adapter = TDynamicLibrary::Open(GmcLibraryPath);
        ASSERT_TRUE(Adapter.IsOpen()) << GmcLibraryPath;
        HoldClock = reinterpret_cast<THoldClockFn>(Adapter.Symbol("OstrelAdapterHoldClock"));
        ASSERT_NE(HoldClock, nullptr);
        setenv("OSTREL_GMC_CONFIG", "", 1);
        setenv("OSTREL_GMC_STATE", StatePath.c_str(), 1);
        unsetenv("OSTREL_GMC_BAUD");
        unsetenv("OSTREL_GMC_PROTOCOL");
    }

    void TearDown() override {
        if (HoldClock != nullptr) {
            HoldClock(0);
        }
        unsetenv("OSTREL_GMC_PORT");
        SetErrorBoxSink(nullptr);
    }

    std::unique_ptr<TMainForm> Make(const std::string& port) {
        setenv("OSTREL_GMC_PORT", port.c_str(), 1);
        TMainFormOptions options;
        options.LibraryCandidates = {GmcLibraryPath};
        options.SettingsPath = Dir.filePath("ostrel.ini").toStdString();
        options.ShowMessage = [this](const std::string& text, const std::string& caption) {
            Messages.emplace_back(text, caption);
        };
        options.ShowNotConnected = [] {};
        return std::make_unique<TMainForm>(std::move(options));
    }

    // Lets the window's timer run until the condition holds.
    static bool RunUntil(const std::function<bool()>& condition) {
        return adapters::test::WaitUntil([&] {
            QCoreApplication::processEvents();
            return condition();
        });
    }

    // A heartbeat at the given second of 2024-05-01 09:mm:ss, and the
    // window's records once it has come through.
    void Beat(TMainForm& form, TFakeGmc& fake, int minute, int second, std::uint32_t count,
              std::size_t records, std::int32_t lastCount) {
        HoldClock(LocalMilliseconds(2024, 5, 1, 9, minute, second));
        fake.SendCounts({count});
        EXPECT_TRUE(RunUntil([&] {
            return form.Logger().Records.Count() == records &&
                   form.Logger().Records.Last().Count == lastCount;
        })) << "09:"
            << minute << ":" << second << " " << count;
    }
};

TEST_F(GmcEndToEndTest, TheProgramLogsMinutesFromAGmcCounter) {
    TFakeGmc fake("GMC-320Re 5.2");
    auto form = Make(fake.Path());
    ASSERT_TRUE(form->Logger().Library().IsLoaded());
    form->ShowClick();
    form->findChild<QAction*>("Start")->trigger();
    EXPECT_TRUE(form->Logger().Timer().isActive());
    EXPECT_EQ(form->Logger().DeviceId(), adapters::PortId(fake.Path()));
    ASSERT_TRUE(fake.WaitForCommands(3));
    EXPECT_EQ(fake.Commands(), (Lines{"HEARTBEAT0", "GETVER", "HEARTBEAT1"}));

    Beat(*form, fake, 40, 58, 3, 1, 3);
    Beat(*form, fake, 40, 59, 4, 1, 7);
    Beat(*form, fake, 41, 0, 5, 2, 5);
    EXPECT_EQ(form->Log().Lines(), Lines{"24/05/01, 09:40, 7"});
    Beat(*form, fake, 41, 30, 0xC002, 2, 7); // RFC1201: the top two bits are not counts
    Beat(*form, fake, 42, 0, 1, 3, 1);
    EXPECT_EQ(form->Log().Lines(), (Lines{"24/05/01, 09:40, 7", "24/05/01, 09:41, 7"}));

    form->findChild<QAction*>("Stop")->trigger();
    ASSERT_TRUE(fake.WaitForCommands(4));
    EXPECT_EQ(fake.Commands().back(), "HEARTBEAT0");
    EXPECT_TRUE(RunUntil([&] { return !form->Logger().Timer().isActive(); }));
    EXPECT_EQ(form->Logger().DeviceId(), 0u);
    EXPECT_EQ(form->Logger().Records.Count(), 3u);
    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(Messages.empty());
}

// The port is a link, as in /dev/serial/by-id/, that names the counter
// plugged back in.
TEST_F(GmcEndToEndTest, ACounterPluggedBackInGoesOnLoggingUntilStop) {
    const std::string link = Dir.filePath("gmc").toStdString();
    auto fake = std::make_unique<TFakeGmc>("GMC-500+Re 2.42", 4);
    ASSERT_EQ(symlink(fake->Path().c_str(), link.c_str()), 0);
    auto form = Make(link);
    form->findChild<QAction*>("Start")->trigger();
    ASSERT_TRUE(fake->WaitForCommands(3));
    Beat(*form, *fake, 40, 58, 300, 1, 300);

    fake.reset();
    ASSERT_EQ(unlink(link.c_str()), 0);
    TFakeGmc replugged("GMC-500+Re 2.42", 4);
    ASSERT_EQ(symlink(replugged.Path().c_str(), link.c_str()), 0);
    EXPECT_TRUE(RunUntil([&] { return replugged.Heartbeat(); }));
    EXPECT_TRUE(form->Logger().Timer().isActive());
    EXPECT_EQ(form->Logger().DeviceId(), adapters::PortId(link));
    Beat(*form, replugged, 41, 5, 12, 2, 12);
    EXPECT_EQ(form->Log().Lines(), Lines{"24/05/01, 09:40, 300"});

    form->findChild<QAction*>("Stop")->trigger();
    ASSERT_TRUE(replugged.WaitForCommands(2));
    EXPECT_EQ(replugged.Commands(), (Lines{"HEARTBEAT1", "HEARTBEAT0"}));
    EXPECT_TRUE(RunUntil([&] { return !form->Logger().Timer().isActive(); }));
    EXPECT_EQ(form->Logger().Records.Count(), 2u);
    EXPECT_TRUE(Errors.empty());
    EXPECT_TRUE(Messages.empty());
}

TEST_F(GmcEndToEndTest, TheCountersPairIsKeptInTheAdaptersStateFile) {
    TFakeGmc fake("GMC-320Re 5.2");
    setenv("OSTREL_GMC_PORT", fake.Path().c_str(), 1);
    TCounterLibrary library({GmcLibraryPath});
    ASSERT_TRUE(library.LoadCounterLibrary());
    const TCounterEntryPoints& device = library.EntryPoints();
    ASSERT_EQ(device.Find(), 1);
    TDeviceInfo info{};
    device.GetInfo(&info);
    device.Connect(info.Id);
    std::uint16_t coefficient = 0;
    std::uint16_t background = 0;
    device.GetCoefficient(info.Id, &coefficient, &background);
    EXPECT_EQ(coefficient, 650);
    EXPECT_EQ(background, 0);
    device.SetCoefficient(info.Id, 700, 12);
    device.GetCoefficient(info.Id, &coefficient, &background);
    EXPECT_EQ(coefficient, 700);
    EXPECT_EQ(background, 12);
    std::ifstream input(StatePath);
    std::ostringstream text;
    text << input.rdbuf();
    EXPECT_NE(text.str().find("\n" + fake.Path() + " = 700 12\n"), std::string::npos) << text.str();

    // Unloading ends with Clear, which stops the heartbeat.
    ASSERT_TRUE(fake.WaitForCommands(3));
    library.UnloadCounterLibrary();
    ASSERT_TRUE(fake.WaitForCommands(4));
    EXPECT_EQ(fake.Commands().back(), "HEARTBEAT0");
}

} // namespace
} // namespace ostrel
