// SPDX-License-Identifier: GPL-3.0-or-later
// The Analysis menu's commands and the chart's tip (LanguageTest reads the
// menu's texts), on a shown window with thirty
// minutes from 2011-07-16 09:00 counting 20, then 7 from the tenth on.

#include "app/MainForm.h"
#include "display/Chart.h"
#include "display/ChartImage.h"
#include "support/Environment.h"
#include "support/Faults.h"
#include "support/MainFormFixture.h"

#include <QAction>
#include <QDateTime>
#include <QTest>
#include <QTimeZone>
#include <QToolTip>
#include <gtest/gtest.h>

#include <cstdlib>

namespace ostrel {
namespace {

class AnalysisMenuTest : public test::TMainFormFixture {
protected:
    void SetUp() override {
        TMainFormFixture::SetUp();
        test::SetEnv("TZ", "Asia/Tokyo");
        Form = Make();
        for (int k = 0; k < 30; ++k) {
            Form->Logger().Records.Append(
                {EncodeDate(2011, 7, 16) + EncodeTime(9, k, 0, 0), k < 10 ? 20 : 7});
        }
        Form->RebuildDisplay();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
        Form->Chart().replot();
    }
    void TearDown() override {
        test::UnsetEnv("TZ");
        TMainFormFixture::TearDown();
    }
    // Runs an item of the menu with the chooser answering path.
    std::string Run(const char* item, const std::filesystem::path& path, std::size_t filter = 0) {
        Chooser->Next = path.string();
        Chooser->NextFilter = filter;
        Form->findChild<QAction*>(item)->trigger();
        return test::ReadFile(path);
    }
    std::unique_ptr<TMainForm> Form;
};

TEST_F(AnalysisMenuTest, SavesTheChartInEachFormat) {
    // Each format's first bytes; a PNG's width (IHDR, bytes 18 and 19) is the chart's times n.
    std::vector<std::pair<const char*, std::string>> cases = {
        {"a.png", "\x89PNG"}, {"b.png", "\x89PNG"}, {"c.pdf", "%PDF-"}, {"d.svg", "<?xml"}};
    if (!CanMakeSvg()) { // the Windows build's Qt
        cases.pop_back();
    }
    for (std::size_t filter = 0; filter < cases.size(); ++filter) {
        const auto& [name, start] = cases[filter];
        const std::string bytes = Run("SaveChartImage", Folder / name, filter);
        EXPECT_EQ(bytes.substr(0, start.size()), start) << name;
        if (filter < 2) {
            EXPECT_EQ(static_cast<unsigned char>(bytes.at(18)) * 256 + (bytes.at(19) & 0xFF),
                      Form->Chart().width() * int(filter + 1));
        }
    }
    EXPECT_EQ(Chooser->OfferedFilters.at(1), "PNG画像、2倍の大きさ (*.png)");
    EXPECT_EQ(Chooser->OfferedFilters.size(), cases.size());
    EXPECT_TRUE(Errors.empty());
}

#ifndef _WIN32
TEST_F(AnalysisMenuTest, AnImageThatCannotBeWrittenIsReportedAndTheOldFileKept) {
    const std::filesystem::path target = Folder / "chart.svg";
    std::ofstream(target) << "previous";
    const test::TFileSizeLimit limit(64);
    ASSERT_TRUE(limit.Active);
    const std::string bytes = Run("SaveChartImage", target, 3);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0].first,
              "ファイル \"" + target.string() + "\" を作成できません。File too large.");
    EXPECT_EQ(bytes, "previous");
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(Folder), {}), 1);
}
#endif

TEST_F(AnalysisMenuTest, ExportsTheMinutesShownOrAll) {
    Form->Chart().xAxis->setRange(8.5, 11.2); // minutes 9, 10 and 11
    EXPECT_EQ(Form->VisibleMinutes().size(), 3u);
    // Qt on Windows reads no TZ: there the offset is the machine's, as the
    // system time zone has it (under Wine it may differ from local time's).
    const int offset = QTimeZone::systemTimeZone().offsetFromUtc(
        QDateTime(QDate(2011, 7, 16), QTime(9, 10), QTimeZone::systemTimeZone()));
    const QString zone = QString::asprintf("%c%02d:%02d", offset < 0 ? '-' : '+',
                                           std::abs(offset) / 3600, std::abs(offset) / 60 % 60);
    EXPECT_EQ(Run("ExportCsv", Folder / "shown.csv"),
              QStringLiteral("time,count,dose_rate_usv_h\r\n"
                             "2011-07-16T09:09:00%1,20,\r\n"
                             "2011-07-16T09:10:00%1,7,0.0316\r\n"
                             "2011-07-16T09:11:00%1,7,0.029546\r\n")
                  .arg(zone)
                  .toStdString());
    const std::string all = Run("ExportAllCsv", Folder / "all.csv");
    EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 31);
    EXPECT_EQ(Chooser->OfferedFilters, std::vector<std::string>{"CSVファイル (*.csv)"});
    EXPECT_TRUE(Errors.empty());
}

TEST_F(AnalysisMenuTest, TheTipTellsTheMinuteUnderThePointerExceptWhileDragging) {
    TChart& chart = Form->Chart();
    const auto pixelOf = [&](double x) {
        return QPoint(int(chart.xAxis->coordToPixel(x)), chart.axisRect()->center().y());
    };
    const QPoint at = pixelOf(12);
    // Through the window, as the pointer moves without a button pressed.
    QTest::mouseMove(Form->windowHandle(), chart.mapTo(Form.get(), at));
    EXPECT_EQ(QToolTip::text().toStdString(), "11/07/16 09:12\n計数: 7 CPM (95%区間 2.8～14.4)\n"
                                              "線量率: 0.027492 uSv/ h (95%区間 0.0236～0.0319)");
    // Exact Poisson bounds of 20: chi2.ppf(0.025, 40) / 2 and chi2.ppf(0.975, 42) / 2.
    EXPECT_EQ(chart.TipText(pixelOf(3)).toStdString(),
              "11/07/16 09:03\n計数: 20 CPM (95%区間 12.2～30.9)");
    EXPECT_TRUE(chart.TipText(QPoint(0, 0)).isEmpty()); // outside the plot area

    chart.SetTips({nullptr, [](std::uint64_t n) { return TTipBounds{n - 2.75, n + 3.04}; }, {}});
    EXPECT_EQ(chart.TipText(at).toStdString(),
              "計数: 7 CPM (95%区間 4.3～10.0)\n線量率: 0.027492 uSv/ h");
    const QCPRange range = chart.xAxis->range();
    QTest::mousePress(&chart, Qt::LeftButton, {}, at);
    EXPECT_TRUE(chart.TipText(at).isEmpty());
    QTest::mouseRelease(&chart, Qt::LeftButton, {}, at);
    EXPECT_EQ(chart.xAxis->range(), range);
}

} // namespace
} // namespace ostrel
