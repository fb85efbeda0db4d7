// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/OpenScenario.h"

#include "bench/LogScenario.h"
#include "display/Chart.h"
#include "display/LogList.h"

#include <QCoreApplication>
#include <QtTest/QTest>

namespace ostrel::bench {

TOpenScenario::TOpenScenario(const std::filesystem::path& journalFolder) {
    TMainFormOptions options;
    options.LibraryCandidates = DefaultCounterLibraryCandidates();
    options.SettingsPath = Folder.filePath(QStringLiteral("ostrel.ini")).toStdString();
    options.FormatSettings = ScenarioFormatSettings();
    options.ShowMessage = [this](const std::string& text, const std::string& caption) {
        Shown.emplace_back(text, caption);
    };
    options.ShowNotConnected = [] {};
    options.Chooser = Chooser;
    options.JournalFolder = journalFolder;
    MainForm = std::make_unique<TMainForm>(std::move(options));
}

TOpenScenario::~TOpenScenario() = default;

void TOpenScenario::Show() {
    MainForm->show();
    // Exposure is immediate on the offscreen platform; the wait only guards
    // against a real window system.
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(MainForm.get());
    Settle();
}

void TOpenScenario::Open(const std::string& path) {
    Chooser->Path = path;
    MainForm->OpenClick();
    MainForm->Chart().replot(QCustomPlot::rpImmediateRefresh);
}

void TOpenScenario::Settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

std::optional<std::string> TOpenScenario::Check(std::size_t n) {
    const TChart& chart = MainForm->Chart();
    if (static_cast<std::size_t>(chart.SeriesCPM().Count()) != n ||
        static_cast<std::size_t>(chart.SeriesSV().Count()) != n) {
        return "chart points " + std::to_string(chart.SeriesCPM().Count()) + " and " +
               std::to_string(chart.SeriesSV().Count()) + ", expected " + std::to_string(n);
    }
    return CheckOpenedLog(MainForm->Records, MainForm->Log(), n, ScenarioFormatSettings());
}

} // namespace ostrel::bench
