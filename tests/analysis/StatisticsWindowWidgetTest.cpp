// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/StatisticsWindow.h"

#include "platform/DateTime.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace ostrel {
namespace {

// The span of tests/stats/CountStatisticsTest.cpp, one minute after another
// from 26/12/10 09:00; its figures are SciPy's, rounded as shown.
const std::int32_t SpanCounts[] = {29, 22, 30, 22, 21, 25, 20, 27, 24, 27, 25, 28, 23, 30,
                                   25, 27, 17, 25, 23, 15, 22, 30, 27, 28, 24, 23, 39, 28,
                                   32, 35, 26, 26, 32, 26, 24, 24, 22, 24, 32, 26};

const char* const ExpectedFigures = "分の数\t40\n"
                                    "合計カウント\t1035\n"
                                    "平均 (CPM)\t25,88\n"
                                    "平均の95%区間 (CPM)\t24,32 - 27,50\n"
                                    "中央値\t25,5\n"
                                    "最小\t15 (26.12.10 09:19)\n"
                                    "最大\t39 (26.12.10 09:26)\n"
                                    "標準偏差\t4,553\n"
                                    "√平均\t5,087\n"
                                    "標準偏差 / √平均\t0,895\n"
                                    "ポアソン分布へのχ²\t4,04\n"
                                    "自由度\t4\n"
                                    "p値\t0,401\n";

std::vector<TMinuteRecord> Span() {
    std::vector<TMinuteRecord> minutes;
    for (const std::int32_t count : SpanCounts) {
        const int minute = static_cast<int>(minutes.size());
        minutes.push_back({EncodeDate(2026, 12, 10) + EncodeTime(9, minute, 0, 0), count});
    }
    return minutes;
}

TFormatSettings Continental() {
    TFormatSettings fs;
    fs.DateSeparator = ".";
    fs.DecimalSeparator = ",";
    return fs;
}

QString ShownText(const QWidget& window) {
    QString shown;
    for (const QLabel* label : window.findChildren<QLabel*>()) {
        shown += label->text() + '\n';
    }
    return shown;
}

TEST(StatisticsWindowTest, ShowsAndCopiesTheFigures) {
    QWidget parent;
    const std::vector<TMinuteRecord> minutes = Span();
    ShowSpanStatistics(&parent, minutes, Continental());
    QPointer<TStatisticsWindow> window = parent.findChild<TStatisticsWindow*>();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_FALSE(window->isModal());
    EXPECT_EQ(window->windowTitle(), QString("区間の統計"));
    EXPECT_EQ(window->FiguresText(), QString(ExpectedFigures));
    const QString shown = ShownText(*window);
    for (const QString& line : QString(ExpectedFigures).split('\n', Qt::SkipEmptyParts)) {
        for (const QString& part : line.split('\t')) {
            EXPECT_TRUE(shown.contains(part)) << part.toStdString();
        }
    }
    EXPECT_TRUE(shown.contains("ばらつきは偶然で生じる程度です"));

    QGuiApplication::clipboard()->clear();
    QTest::mouseClick(window->findChild<QPushButton*>(), Qt::LeftButton);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString(ExpectedFigures));

    window->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(window);
}

TEST(StatisticsWindowTest, EmptySpanSaysSo) {
    const TStatisticsWindow window({}, Continental());
    EXPECT_EQ(ShownText(window), QString("区間に分がありません。\n"));
    EXPECT_TRUE(window.FiguresText().isEmpty());
    EXPECT_FALSE(window.findChild<QPushButton*>());
}

} // namespace
} // namespace ostrel
