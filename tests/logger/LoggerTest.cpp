// SPDX-License-Identifier: GPL-3.0-or-later
// The logger core: what its outputs hear, in order with the counter's calls,
// and its end.

#include "logger/Logger.h"

#include "platform/Exceptions.h"
#include "support/FakeDevice.h"
#include "support/FakeViews.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace ostrel {
namespace {

namespace fs = std::filesystem;

// Tells every call on the device's own list of calls, so that the two
// read as one story.
class TToldOutput final : public TLogOutput {
public:
    ~TToldOutput() override { Tell("closed"); }
    void LogBegan() noexcept override { Tell("LogBegan"); }
    void LogOpened(const TOpenedLog& log) noexcept override {
        Tell("LogOpened " + std::to_string(log.Records.Count()) + " " +
             std::to_string(log.GraphCoefficient));
    }
    void DoseRatesChanged(const TOpenedLog& log) noexcept override {
        Tell("DoseRatesChanged " + std::to_string(log.Records.Count()) + " " +
             std::to_string(log.GraphCoefficient));
    }
    void CounterConnected(std::uint32_t id) noexcept override {
        Tell("CounterConnected " + std::to_string(id));
    }
    void MinuteFinished(const TFinishedMinute& minute) noexcept override {
        Tell("MinuteFinished " + std::to_string(minute.Position) + " " + std::string(minute.Line));
    }
    void TickEnded() noexcept override { Tell("TickEnded"); }
    void ProgramEnding() noexcept override { Tell("ProgramEnding"); }

private:
    static void Tell(std::string text) { test::TFakeDevice::Current->Calls.push_back(text); }
};

class TOneFile final : public TFileChooser {
public:
    explicit TOneFile(std::string path) : Path(std::move(path)) {}
    std::optional<std::string> ChooseOpenFile(const std::string&) override { return Path; }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return Path; }

private:
    std::string Path;
};

std::string ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class LoggerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "LoggerTest";
        static char* argv[] = {name, nullptr};
        static QCoreApplication app(argc, argv);
    }

    QTemporaryDir Dir;
    fs::path Folder = Dir.path().toStdString();
    test::TFakeDevice Device;
    TCounterEntryPoints Entries = Device.EntryPoints();
    test::TFakeViews Views;

    std::unique_ptr<TLogger> Make(const fs::path& settings) {
        TLoggerOptions options;
        options.Device = &Entries;
        options.SettingsPath = settings;
        options.Chooser = std::make_shared<TOneFile>((Folder / "log.csv").string());
        options.Outputs.push_back(std::make_unique<TToldOutput>());
        return std::make_unique<TLogger>(std::move(options), Views.Views());
    }
};

TEST_F(LoggerTest, OutputsHearTheSessionInOrderWithTheCounter) {
    std::ofstream(Folder / "ostrel.ini", std::ios::binary) << "[Graph]\r\nuSv=0.5\r\n";
    std::ofstream(Folder / "log.csv", std::ios::binary)
        << "11/07/16, 10:00, 1\r\n11/07/16, 10:01, 2\r\n11/07/16, 10:02, 3\r\n";
    const auto logger = Make(Folder / "ostrel.ini");
    ASSERT_TRUE(logger->LoadCounterLibrary());
    logger->ReadSettings();
    logger->New();
    Device.Queue(2011, 7, 16, 9, 5, 0, 3);
    Device.Queue(2011, 7, 16, 9, 6, 0, 4);
    logger->Start();
    logger->Tick();
    logger->Stop();
    ASSERT_TRUE(logger->Open());
    logger->GraphCoefficient = 0.25;
    logger->DoseRateSettingsSet();
    logger->End();
    logger->End();
    EXPECT_EQ(Device.TakeCalls(), (std::vector<std::string>{
                                      "LogBegan",
                                      "Find",
                                      "GetInfo",
                                      "Connect 4660",
                                      "CounterConnected 4660",
                                      "GetData",
                                      "GetData",
                                      "MinuteFinished 0 11/07/16, 09:05, 3",
                                      "GetData",
                                      "TickEnded",
                                      "Disconnect 4660",
                                      "LogBegan",
                                      "LogOpened 3 0.500000",
                                      "DoseRatesChanged 3 0.250000",
                                      "ProgramEnding",
                                      "closed",
                                  }));
    EXPECT_EQ(Views.Log.Lines, (std::vector<std::string>{"11/07/16, 10:00, 1", "11/07/16, 10:01, 2",
                                                         "11/07/16, 10:02, 3"}));
    EXPECT_FALSE(logger->Timer().isActive());
    EXPECT_EQ(ReadAll(Folder / "ostrel.ini"), "[Graph]\r\nuSv=0.25\r\nBackGround=0\r\n");
}

TEST_F(LoggerTest, AnEndThatCannotWriteTheSettingsStillClosesTheOutputs) {
    const fs::path settings = Folder / "missing" / "ostrel.ini";
    const auto logger = Make(settings);
    logger->ReadSettings();
    try {
        logger->End();
        FAIL() << "no error";
    } catch (const EFileError& error) {
        EXPECT_EQ(std::string(error.what()), settings.string() + " に書き込めません");
    }
    logger->End();
    EXPECT_EQ(Device.TakeCalls(), (std::vector<std::string>{"ProgramEnding", "closed"}));
}

} // namespace
} // namespace ostrel
