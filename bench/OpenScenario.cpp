// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/OpenScenario.h"

#include "bench/LogScenario.h"
#include "display/Chart.h"
#include "display/LogList.h"

#include <QCoreApplication>
#include <QtTest/QTest>

namespace ostrel::bench {

namespace {

std::string PointName(const char* series, std::size_t k) {
    return std::string(series) + " point " + std::to_string(k);
}

// Every point's value and label, against the scenario's counts, its label
// rule and the dose rate over the ten records before each point.
std::optional<std::string> CheckOpenedChart(const TChart& chart, const TRecords& records,
                                            std::size_t n) {
    for (std::size_t k = 0; k < n; ++k) {
        const int index = static_cast<int>(k);
        const TChartSeries& cpm = chart.SeriesCPM();
        const TChartSeries& sv = chart.SeriesSV();
        if (cpm.IsNull(index) || cpm.YValue(index) != ScenarioCount(k)) {
            return PointName("counts", k) + ": " + std::to_string(cpm.YValue(index));
        }
        const bool labelled = k == 0 || ScenarioMinute(k).Minute % 10 == 0;
        const std::string label = cpm.Label(index).toStdString();
        if (label != (labelled ? MinuteText(k) : std::string())) {
            return PointName("counts", k) + ": label \"" + label + "\"";
        }
        if (k < DoseRateWindow
                ? !sv.IsNull(index)
                : sv.IsNull(index) ||
                      sv.YValue(index) !=
                          DoseRateBefore(records, k, ScenarioCoefficient, ScenarioBackground)) {
            return PointName("dose rate", k) + ": " + std::to_string(sv.YValue(index));
        }
    }
    return std::nullopt;
}

} // namespace

TOpenScenario::TOpenScenario(const std::filesystem::path& stateFolder) {
    TMainFormOptions options;
    options.LibraryCandidates = DefaultCounterLibraryCandidates();
    options.SettingsPath = Folder.filePath(QStringLiteral("ostrel.ini")).toStdString();
    options.FormatSettings = ScenarioFormatSettings();
    options.ShowMessage = [this](const std::string& text, const std::string& caption) {
        Shown.emplace_back(text, caption);
    };
    options.ShowNotConnected = [] {};
    options.Chooser = FileChooser;
    options.StateFolder = stateFolder;
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
    FileChooser->Path = path;
    MainForm->OpenClick();
    MainForm->Chart().replot(QCustomPlot::rpImmediateRefresh);
}

void TOpenScenario::Settle() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents();
}

std::optional<std::string> TOpenScenario::CheckCounts(std::size_t n) {
    const TChart& chart = MainForm->Chart();
    const std::size_t cpm = static_cast<std::size_t>(chart.SeriesCPM().Count());
    const std::size_t sv = static_cast<std::size_t>(chart.SeriesSV().Count());
    const std::size_t lines = static_cast<std::size_t>(MainForm->Log().Count());
    if (cpm != n || sv != n || lines != n || MainForm->Logger().Records.Count() != n) {
        return "chart points " + std::to_string(cpm) + " and " + std::to_string(sv) + ", lines " +
               std::to_string(lines) + ", records " +
               std::to_string(MainForm->Logger().Records.Count()) + ", expected " +
               std::to_string(n);
    }
    return std::nullopt;
}

std::optional<std::string> TOpenScenario::Check(std::size_t n) {
    if (auto counts = CheckCounts(n)) {
        return counts;
    }
    if (auto log = CheckOpenedLog(MainForm->Logger().Records, MainForm->Log(), n,
                                  ScenarioFormatSettings())) {
        return log;
    }
    return CheckOpenedChart(MainForm->Chart(), MainForm->Logger().Records, n);
}

} // namespace ostrel::bench
