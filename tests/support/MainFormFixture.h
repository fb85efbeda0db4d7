// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A main window built as main() builds it, but with the simulated counter
// library from the build folder, a settings file in a temporary folder,
// message boxes and file dialogs replaced by recorders.

#include "app/ErrorBox.h"
#include "app/MainForm.h"
#include "counter/CounterLibrary.h"
#include "platform/DynamicLibrary.h"
#include "sim/TestHooks.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace ostrel::test {

inline const std::string SimPath = std::string(OSTREL_BIN_DIR) + "/" + CounterLibraryFileName;

inline std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class TFakeChooser : public TFileChooser {
public:
    std::optional<std::string> Next;
    std::size_t NextFilter = 0;              // the filter an export answers with
    std::vector<std::string> OfferedFilters; // what the last export offered
    std::optional<std::string> ChooseOpenFile(const std::string&) override { return Next; }
    std::optional<std::string> ChooseSaveFile(const std::string&) override { return Next; }
    std::optional<TChosenFile> ChooseExportFile(const std::string&,
                                                const std::vector<std::string>& filters) override {
        OfferedFilters = filters;
        if (!Next) {
            return std::nullopt;
        }
        return TChosenFile{*Next, NextFilter};
    }
};

class TMainFormFixture : public ::testing::Test {
protected:
    QTemporaryDir Dir;
    std::filesystem::path Folder = Dir.path().toStdString();
    std::filesystem::path Ini = Folder / "ostrel.ini";
    std::vector<std::pair<std::string, std::string>> Messages;
    std::vector<std::pair<std::string, std::string>> Errors;
    int NotConnected = 0;
    std::shared_ptr<TFakeChooser> Chooser = std::make_shared<TFakeChooser>();
    std::filesystem::path StateFolder; // none: nothing kept, no journal
    // Keeps the simulator loaded across the window's life, so its test hooks
    // can be used before and after the window holds it.
    TDynamicLibrary Sim;
    sim::TCallLogFn CallLog = nullptr;
    sim::TAdvanceClockFn AdvanceClock = nullptr;

    void SetUp() override {
        SetErrorBoxSink([this](const std::string& text, const std::string& caption) {
            Errors.emplace_back(text, caption);
        });
        Sim = TDynamicLibrary::Open(SimPath);
        ASSERT_TRUE(Sim.IsOpen());
        CallLog = reinterpret_cast<sim::TCallLogFn>(Sim.Symbol(sim::CallLogName));
        AdvanceClock = reinterpret_cast<sim::TAdvanceClockFn>(Sim.Symbol(sim::AdvanceClockName));
        ASSERT_NE(CallLog, nullptr);
        ASSERT_NE(AdvanceClock, nullptr);
        CallLog();
    }
    void TearDown() override { SetErrorBoxSink(nullptr); }

    std::unique_ptr<TMainForm> Make(std::vector<std::string> candidates = {SimPath}) {
        TMainFormOptions options;
        options.LibraryCandidates = std::move(candidates);
        options.SettingsPath = Ini;
        options.ShowMessage = [this](const std::string& text, const std::string& caption) {
            Messages.emplace_back(text, caption);
        };
        options.ShowNotConnected = [this] { ++NotConnected; };
        options.Chooser = Chooser;
        options.StateFolder = StateFolder;
        return std::make_unique<TMainForm>(std::move(options));
    }
    void WriteIni(const std::string& text) { std::ofstream(Ini, std::ios::binary) << text; }
};

} // namespace ostrel::test
