// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/Chart.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <string>
#include <vector>

namespace ostrel {
namespace {

constexpr int ChartWidth = 800;
constexpr int ChartHeight = 500;

using Values = std::vector<std::optional<double>>; // nullopt: a null point

void Fill(TChartSeries& series, const Values& values) {
    for (const auto& value : values) {
        if (value) {
            series.AddY(*value, "");
        } else {
            series.AddNull();
        }
    }
}

void ExpectRange(const QCPRange& range, double lower, double upper, const std::string& what) {
    EXPECT_NEAR(range.lower, lower, 1e-9) << what;
    EXPECT_NEAR(range.upper, upper, 1e-9) << what;
}

class ChartWidgetTest : public ::testing::Test {
protected:
    void SetUp() override {
        Chart.resize(ChartWidth, ChartHeight);
        Chart.show();
        Chart.replot();
    }

    void AddCounts(int n, double value = 10) {
        for (int k = 0; k < n; ++k) {
            Chart.SeriesCPM().AddY(value, "");
        }
        Chart.replot();
    }

    QRect PlotArea() const { return Chart.axisRect()->rect(); }

    void Drag(Qt::MouseButton button, QPoint from, QPoint to) {
        QTest::mousePress(&Chart, button, Qt::NoModifier, from);
        QTest::mouseMove(&Chart, (from + to) / 2);
        QTest::mouseMove(&Chart, to);
        QTest::mouseRelease(&Chart, button, Qt::NoModifier, to);
        Chart.replot();
    }

    // A horizontal drag of dx pixels through the middle of the plot area.
    void DragBy(Qt::MouseButton button, int dx) {
        const QPoint from = PlotArea().center() - QPoint(dx / 2, 0);
        Drag(button, from, from + QPoint(dx, 0));
    }

    TChart Chart{TFormatSettings{}};
};

// ---- point model ----

TEST_F(ChartWidgetTest, PointsKeepIndexValueNullFlagAndLabel) {
    TChartSeries& sv = Chart.SeriesSV();
    sv.AddNull();
    sv.AddY(0.25, "24/05/01 10:00");
    sv.AddY(1.5, "");
    sv.AddNull();

    struct PointCase {
        int Index;
        double Y;
        bool Null;
        const char* Label;
    };
    const std::vector<PointCase> cases = {
        {0, 0, true, ""},
        {1, 0.25, false, "24/05/01 10:00"},
        {2, 1.5, false, ""},
        {3, 0, true, ""},
    };
    ASSERT_EQ(sv.Count(), 4);
    for (const auto& c : cases) {
        EXPECT_EQ(sv.YValue(c.Index), c.Y) << c.Index;
        EXPECT_EQ(sv.IsNull(c.Index), c.Null) << c.Index;
        EXPECT_EQ(sv.Label(c.Index).toStdString(), c.Label) << c.Index;
        // X is the index; a null point is a gap (NaN) in the drawn data.
        const auto point = sv.Graph()->data()->at(c.Index);
        EXPECT_EQ(point->key, c.Index);
        EXPECT_EQ(std::isnan(point->value), c.Null) << c.Index;
    }
    // Out-of-range reads and writes neither crash nor change anything.
    EXPECT_EQ(sv.YValue(-1), 0);
    EXPECT_EQ(sv.YValue(4), 0);
    sv.SetYValue(4, 9);
    sv.SetYValue(-1, 9);
    EXPECT_EQ(sv.Count(), 4);
    EXPECT_EQ(sv.Maximum(), 1.5);
    // Writing to a null point makes it an ordinary one.
    sv.SetYValue(3, 0.5);
    EXPECT_FALSE(sv.IsNull(3));
    EXPECT_EQ(sv.YValue(3), 0.5);
}

TEST_F(ChartWidgetTest, ClearEmptiesPointsLabelsAndMaximum) {
    Chart.SeriesCPM().AddY(40, "24/05/01 10:00");
    Chart.SeriesCPM().AddY(20, "");
    Chart.SeriesCPM().Clear();
    EXPECT_EQ(Chart.SeriesCPM().Count(), 0);
    EXPECT_TRUE(Chart.SeriesCPM().Labels().empty());
    EXPECT_FALSE(Chart.SeriesCPM().Maximum().has_value());
    Chart.SeriesCPM().AddY(3, "");
    Chart.replot();
    ExpectRange(Chart.yAxis->range(), 0, 5, "after Clear");
    EXPECT_TRUE(Chart.xAxis->tickVector().isEmpty());
}

// ---- horizontal paging ----

struct KeyRangeCase {
    int CPMPoints;
    int SVPoints;
    double Lower;
    double Upper;
};

TEST_F(ChartWidgetTest, AutomaticHorizontalRangeIsTheFirstPage) {
    const std::vector<KeyRangeCase> cases = {
        {0, 0, -0.5, 0.5}, {1, 0, -0.5, 0.5}, {10, 0, 0, 9},   {11, 0, 0, 10},    {360, 0, 0, 359},
        {361, 0, 0, 359},  {1000, 0, 0, 359}, {10, 11, 0, 10}, {0, 1, -0.5, 0.5},
    };
    for (const auto& c : cases) {
        Chart.SeriesCPM().Clear();
        Chart.SeriesSV().Clear();
        for (int k = 0; k < c.CPMPoints; ++k) {
            Chart.SeriesCPM().AddY(k, "");
        }
        for (int k = 0; k < c.SVPoints; ++k) {
            Chart.SeriesSV().AddNull();
        }
        Chart.replot();
        ExpectRange(Chart.xAxis->range(), c.Lower, c.Upper,
                    std::to_string(c.CPMPoints) + "+" + std::to_string(c.SVPoints) + " points");
    }
}

// ---- vertical ranges ----

struct MaximumCase {
    const char* Name;
    Values CPM;
    Values SV;
    double LeftUpper;
    double RightUpper;
};

TEST_F(ChartWidgetTest, VerticalMaximaRoundUpOverNonNullPoints) {
    Values beyondFirstPage(400, 4.0);
    beyondFirstPage.push_back(23.0);
    const std::vector<MaximumCase> cases = {
        {"empty", {}, {}, 5, 0.05},
        {"47 and 0.031", {12, 47, 3}, {0.031}, 50, 0.05},
        {"exact multiples stay", {45}, {0.1}, 45, 0.1},
        {"zeros span one step", {0, 0}, {0}, 5, 0.05},
        {"nulls ignored", {std::nullopt, 7}, {std::nullopt, std::nullopt, 0.12}, 10, 0.15},
        {"only nulls", {}, {std::nullopt, std::nullopt}, 5, 0.05},
        {"points beyond the first page count", beyondFirstPage, {}, 25, 0.05},
    };
    for (const auto& c : cases) {
        Chart.SeriesCPM().Clear();
        Chart.SeriesSV().Clear();
        Fill(Chart.SeriesCPM(), c.CPM);
        Fill(Chart.SeriesSV(), c.SV);
        Chart.replot();
        ExpectRange(Chart.yAxis->range(), 0, c.LeftUpper, c.Name);
        ExpectRange(Chart.yAxis2->range(), 0, c.RightUpper, c.Name);
    }
}

struct SetValueCase {
    const char* Name;
    Values Start;
    int Index;
    double NewValue;
    double LeftUpper;
};

TEST_F(ChartWidgetTest, ChangedValuesMoveTheMaximum) {
    const std::vector<SetValueCase> cases = {
        {"raised last value raises", {10, 20}, 1, 47, 50},
        {"lowered maximum rescans", {10, 47}, 1, 3, 10},
        {"lowered other value keeps", {30, 10}, 1, 5, 30},
        {"raised to an exact multiple", {10, 12}, 1, 35, 35},
        {"lowered first of two equal maxima keeps", {40, 40}, 0, 1, 40},
    };
    for (const auto& c : cases) {
        Chart.SeriesCPM().Clear();
        Fill(Chart.SeriesCPM(), c.Start);
        Chart.SeriesCPM().SetYValue(c.Index, c.NewValue);
        Chart.replot();
        ExpectRange(Chart.yAxis->range(), 0, c.LeftUpper, c.Name);
        EXPECT_EQ(Chart.SeriesCPM().YValue(c.Index), c.NewValue) << c.Name;
    }
}

TEST_F(ChartWidgetTest, ValueLabelsUseTheBaseStepAndTheirPatterns) {
    Fill(Chart.SeriesCPM(), {47});
    Fill(Chart.SeriesSV(), {0.12});
    Chart.replot();
    EXPECT_EQ(Chart.yAxis->tickVectorLabels(),
              QList<QString>({"0", "5", "10", "15", "20", "25", "30", "35", "40", "45", "50"}));
    EXPECT_EQ(Chart.yAxis2->tickVectorLabels(), QList<QString>({"0.00", "0.05", "0.10", "0.15"}));

    QVector<double> ticks;
    QVector<double> minorTicks;
    Chart.yAxis2->ticker()->generate(Chart.yAxis2->range(), QLocale::c(), 'g', 6, ticks,
                                     &minorTicks, nullptr);
    EXPECT_EQ(minorTicks.size(), 3 * 4); // four between each two labels
}

TEST_F(ChartWidgetTest, CrowdedValueLabelsGetAWiderStep) {
    Chart.resize(ChartWidth, 260);
    Fill(Chart.SeriesCPM(), {1234});
    Fill(Chart.SeriesSV(), {12.34});
    Chart.replot();
    for (QCPAxis* axis : {Chart.yAxis, Chart.yAxis2}) {
        const QVector<double> ticks = axis->tickVector();
        ASSERT_GE(ticks.size(), 2);
        const double step = ticks[1] - ticks[0];
        EXPECT_EQ(ticks.first(), 0);
        EXPECT_NEAR(ticks.last(), axis->range().upper, 1e-9);
        EXPECT_NEAR(std::fmod(axis->range().upper + step / 2, step), step / 2, 1e-9);
        // Neighbouring labels do not overlap.
        const int labelHeight = QFontMetrics(axis->tickLabelFont()).height();
        const double pixels = std::abs(axis->coordToPixel(step) - axis->coordToPixel(0));
        EXPECT_GE(pixels, labelHeight) << axis->axisType();
        // ... but the next smaller step of 1, 2, 2.5, 5 would have crowded them:
        // the step is at most twice what fitting requires.
        EXPECT_LT(pixels, 3 * (labelHeight + 2)) << axis->axisType();
    }
}

TEST(ChartValueLabelsTest, DoseLabelsHaveTwoDecimalsAndTheLocalesSeparators) {
    struct SeparatorCase {
        const char* Decimal;
        const char* Thousand;
    };
    for (const SeparatorCase c : {SeparatorCase{".", ","}, {",", "."}, {",", "\u202F"}}) {
        TFormatSettings fs;
        fs.DecimalSeparator = c.Decimal;
        fs.ThousandSeparator = c.Thousand;
        TChart chart(fs);
        chart.resize(ChartWidth, ChartHeight);
        chart.show();
        Fill(chart.SeriesCPM(), {2345});
        Fill(chart.SeriesSV(), {2345.6});
        chart.replot();
        const QString point = QString::fromUtf8(c.Decimal);
        const QString group = QString::fromUtf8(c.Thousand);
        const QRegularExpression pattern(
            QString("^\\d{1,3}(%1\\d{3})*%2\\d\\d$")
                .arg(QRegularExpression::escape(group), QRegularExpression::escape(point)));
        const QList<QString> labels = chart.yAxis2->tickVectorLabels();
        ASSERT_FALSE(labels.isEmpty()) << c.Decimal;
        for (const QString& label : labels) {
            EXPECT_TRUE(pattern.match(label).hasMatch()) << label.toStdString();
        }
        EXPECT_EQ(labels.first(), "0" + point + "00");
        EXPECT_TRUE(labels.last().startsWith("2" + group)) << labels.last().toStdString();
        // The counts axis writes whole numbers, never grouped.
        EXPECT_TRUE(chart.yAxis->tickVectorLabels().last().contains(QRegularExpression("^\\d{4}$")))
            << chart.yAxis->tickVectorLabels().last().toStdString();
    }
}

// ---- bottom labels ----

TEST_F(ChartWidgetTest, TicksOnlyAtLabelledPointsInView) {
    struct LabelCase {
        int Index;
        const char* Label;
    };
    const std::vector<LabelCase> labelled = {
        {0, "24/05/01 09:57"},      {3, "24/05/01 10:00"},   {13, "24/05/01 10:10"},
        {23, "令和 6/05/01 10:20"}, {400, "24/05/01 16:40"},
    };
    auto next = labelled.begin();
    for (int k = 0; k <= 401; ++k) {
        const bool hasLabel = next != labelled.end() && next->Index == k;
        Chart.SeriesCPM().AddY(5, hasLabel ? next->Label : "");
        Chart.SeriesSV().AddY(0.01, "");
        next += hasLabel ? 1 : 0;
    }
    Chart.replot();
    EXPECT_EQ(Chart.xAxis->tickVector(), QVector<double>({0, 3, 13, 23}));
    EXPECT_EQ(Chart.xAxis->tickVectorLabels(),
              QList<QString>(
                  {"24/05/01 09:57", "24/05/01 10:00", "24/05/01 10:10", "令和 6/05/01 10:20"}));
    EXPECT_EQ(Chart.SeriesCPM().Label(13).toStdString(), "24/05/01 10:10");
    EXPECT_EQ(Chart.SeriesCPM().Label(14).toStdString(), "");

    // Clearing the line series leaves the counts' labels alone.
    Chart.SeriesSV().Clear();
    Chart.replot();
    EXPECT_EQ(Chart.xAxis->tickVector(), QVector<double>({0, 3, 13, 23}));
}

TEST_F(ChartWidgetTest, EveryLabelIsDrawnEvenWhereTheyOverlap) {
    for (int k = 0; k < 360; ++k) {
        Chart.SeriesCPM().AddY(k % 7, "24/05/01 10:" + std::to_string(k % 60));
    }
    Chart.replot();
    EXPECT_EQ(Chart.xAxis->tickVector().size(), 360);
    EXPECT_EQ(Chart.xAxis->tickVectorLabels().at(359), "24/05/01 10:59");
}

// ---- repainting ----

TEST_F(ChartWidgetTest, ChangesQueueOneRepaintInsteadOfOnePerPoint) {
    QCoreApplication::processEvents();
    QSignalSpy replots(&Chart, &QCustomPlot::afterReplot);
    for (int k = 0; k < 50; ++k) {
        Chart.SeriesCPM().AddY(k, "");
        Chart.SeriesSV().AddNull();
    }
    Chart.SeriesCPM().SetYValue(49, 60);
    EXPECT_EQ(replots.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(replots.count(), 1);
}

// What a tick does to the chart, and the replots that follow once the
// events are handled: a reading of 0 counts sets the value it already has.
TEST_F(ChartWidgetTest, OnlyAChangedPointOrARestoredWindowReplots) {
    struct TCase {
        const char* Name;
        void (*Act)(TChart& chart);
        int Replots;
    };
    const TCase cases[] = {
        {"same value in an update",
         [](TChart& c) {
             c.SeriesCPM().BeginUpdate();
             c.SeriesCPM().SetYValue(2, 12);
             c.SeriesCPM().EndUpdate();
         },
         0},
        {"new value in an update",
         [](TChart& c) {
             c.SeriesCPM().BeginUpdate();
             c.SeriesCPM().SetYValue(2, 13);
             c.SeriesCPM().EndUpdate();
         },
         1},
        {"empty update", [](TChart& c) { c.SeriesCPM().BeginUpdate(), c.SeriesCPM().EndUpdate(); },
         0},
        {"same value", [](TChart& c) { c.SeriesCPM().SetYValue(0, 10); }, 0},
        {"null point given 0", [](TChart& c) { c.SeriesSV().SetYValue(0, 0); }, 1},
        {"points while held",
         [](TChart& c) {
             c.SetDrawingHeld(true);
             c.SeriesCPM().AddY(5, "");
             c.SeriesCPM().SetYValue(0, 20);
         },
         0},
        {"held, then released",
         [](TChart& c) {
             c.SetDrawingHeld(true);
             c.SeriesCPM().AddY(5, "");
             c.SetDrawingHeld(false);
         },
         1},
        {"released with nothing changed",
         [](TChart& c) {
             c.SetDrawingHeld(true);
             c.SetDrawingHeld(false);
         },
         0},
    };
    for (const TCase& test : cases) {
        TChart chart{TFormatSettings{}};
        chart.resize(ChartWidth, ChartHeight);
        chart.show();
        Fill(chart.SeriesCPM(), {10, 11, 12});
        Fill(chart.SeriesSV(), {std::nullopt, 1, 2});
        QCoreApplication::processEvents();
        QSignalSpy replots(&chart, &QCustomPlot::afterReplot);
        test.Act(chart);
        QCoreApplication::processEvents();
        EXPECT_EQ(replots.count(), test.Replots) << test.Name;
    }
}

TEST_F(ChartWidgetTest, UpdateBracketsDeferTheRangesUntilTheLastEnd) {
    Chart.SeriesCPM().BeginUpdate();
    Chart.SeriesSV().BeginUpdate();
    for (int k = 0; k < 400; ++k) {
        Chart.SeriesCPM().AddY(k, "");
    }
    ExpectRange(Chart.xAxis->range(), -0.5, 0.5, "inside both brackets");
    Chart.SeriesSV().EndUpdate();
    ExpectRange(Chart.xAxis->range(), -0.5, 0.5, "inside one bracket");
    Chart.SeriesCPM().EndUpdate();
    ExpectRange(Chart.xAxis->range(), 0, 359, "after the brackets");
    ExpectRange(Chart.yAxis->range(), 0, 400, "after the brackets");
    // An unmatched end changes nothing.
    Chart.SeriesCPM().EndUpdate();
    Chart.SeriesCPM().AddY(1000, "");
    ExpectRange(Chart.yAxis->range(), 0, 1000, "after an unmatched end");
}

TEST_F(ChartWidgetTest, AMillionPointsAreHeldAndTheViewShowsTheFirstPage) {
    constexpr int n = 1'000'000;
    Chart.SeriesCPM().BeginUpdate();
    for (int k = 0; k < n; ++k) {
        Chart.SeriesCPM().AddY(k % 100, k % 10 == 0 ? "24/05/01 10:00" : "");
        Chart.SeriesSV().AddY(0.001 * (k % 50), "");
    }
    Chart.SeriesCPM().EndUpdate();
    Chart.SeriesCPM().SetYValue(n - 1, 1234);
    Chart.replot();
    EXPECT_EQ(Chart.SeriesCPM().Count(), n);
    EXPECT_EQ(Chart.SeriesCPM().Labels().size(), static_cast<size_t>(n / 10));
    ExpectRange(Chart.xAxis->range(), 0, 359, "million");
    EXPECT_EQ(Chart.xAxis->tickVector().size(), 36);
    EXPECT_GE(Chart.yAxis->range().upper, 1234);
    EXPECT_NEAR(Chart.yAxis2->range().upper, 0.05, 1e-12);
}

// ---- mouse ----

TEST_F(ChartWidgetTest, RightDragZoomsOnlyBeyondSixteenPixels) {
    AddCounts(400);
    DragBy(Qt::RightButton, 16);
    EXPECT_TRUE(Chart.IsAutomaticView());
    ExpectRange(Chart.xAxis->range(), 0, 359, "16 px");

    const QPoint from = PlotArea().center();
    const QPoint to = from + QPoint(17, 30);
    const double lower = Chart.xAxis->pixelToCoord(from.x());
    const double upper = Chart.xAxis->pixelToCoord(to.x());
    const QCPRange left = Chart.yAxis->range();
    Drag(Qt::RightButton, from, to);
    EXPECT_FALSE(Chart.IsAutomaticView());
    ExpectRange(Chart.xAxis->range(), lower, upper, "17 px");
    ExpectRange(Chart.yAxis->range(), left.lower, left.upper, "vertical after zoom");
}

TEST_F(ChartWidgetTest, LeftwardRightDragUndoesZoomOnlyBeyondSixteenPixels) {
    AddCounts(400);
    DragBy(Qt::RightButton, 100);
    const QCPRange zoomed = Chart.xAxis->range();
    ASSERT_FALSE(Chart.IsAutomaticView());

    DragBy(Qt::RightButton, -16);
    ExpectRange(Chart.xAxis->range(), zoomed.lower, zoomed.upper, "-16 px");
    DragBy(Qt::RightButton, -17);
    EXPECT_TRUE(Chart.IsAutomaticView());
    ExpectRange(Chart.xAxis->range(), 0, 359, "-17 px");
}

TEST_F(ChartWidgetTest, LeftDragPansHorizontallyOnly) {
    AddCounts(400);
    Fill(Chart.SeriesSV(), {0.3});
    Chart.replot();
    const QCPRange left = Chart.yAxis->range();
    const QCPRange right = Chart.yAxis2->range();
    const QPoint from = PlotArea().center();
    const double shift =
        Chart.xAxis->pixelToCoord(from.x() + 60) - Chart.xAxis->pixelToCoord(from.x());

    Drag(Qt::LeftButton, from, from + QPoint(-60, 40));
    EXPECT_FALSE(Chart.IsAutomaticView());
    ExpectRange(Chart.xAxis->range(), shift, 359 + shift, "panned to the newer points");
    ExpectRange(Chart.yAxis->range(), left.lower, left.upper, "left after pan");
    ExpectRange(Chart.yAxis2->range(), right.lower, right.upper, "right after pan");

    DragBy(Qt::RightButton, -40);
    ExpectRange(Chart.xAxis->range(), 0, 359, "undone pan");
}

TEST_F(ChartWidgetTest, ZoomedViewStaysWhilePointsArrive) {
    AddCounts(20);
    DragBy(Qt::RightButton, 80);
    const QCPRange zoomed = Chart.xAxis->range();
    AddCounts(30, 90);
    ExpectRange(Chart.xAxis->range(), zoomed.lower, zoomed.upper, "after 30 more points");
    ExpectRange(Chart.yAxis->range(), 0, 90, "vertical still follows");
    // A rebuild clears and refills; the zoom stays too.
    Chart.SeriesCPM().Clear();
    AddCounts(5);
    ExpectRange(Chart.xAxis->range(), zoomed.lower, zoomed.upper, "after Clear");
}

TEST_F(ChartWidgetTest, WheelAndDragsOutsideThePlotAreaDoNothing) {
    AddCounts(100);
    const QPoint centre = PlotArea().center();
    QWheelEvent wheel(centre, Chart.mapToGlobal(centre), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(&Chart, &wheel);
    const QPoint outside(PlotArea().center().x(), PlotArea().bottom() + 20);
    Drag(Qt::RightButton, outside, outside + QPoint(100, 0));
    Drag(Qt::LeftButton, outside, outside + QPoint(100, 0));
    EXPECT_TRUE(Chart.IsAutomaticView());
    ExpectRange(Chart.xAxis->range(), 0, 99, "untouched");
}

// ---- look ----

TEST_F(ChartWidgetTest, PanelMarginsAndTitles) {
    const QRect outer = Chart.axisRect()->outerRect();
    EXPECT_EQ(outer.left(), 5);
    EXPECT_EQ(outer.top(), 10);
    EXPECT_EQ(outer.bottom(), ChartHeight - 1 - 5);
    const QCPLayoutElement* title = Chart.plotLayout()->element(0, 1);
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->outerRect().right(), ChartWidth - 1 - 10);
    EXPECT_GE(title->outerRect().width(), 9);
    EXPECT_EQ(Chart.yAxis->label().toStdString(), "CPM");
    EXPECT_EQ(Chart.RightTitle().toStdString(), "uSv/ h");
}

bool Near(QColor actual, QColor expected, int tolerance = 2) {
    return std::abs(actual.red() - expected.red()) <= tolerance &&
           std::abs(actual.green() - expected.green()) <= tolerance &&
           std::abs(actual.blue() - expected.blue()) <= tolerance;
}

std::string Name(QColor c) {
    return c.name().toStdString();
}

TEST_F(ChartWidgetTest, PictureShowsAreaLineFrameAndBackground) {
    // 20 CPM until the last point, which reaches 40: the top of the left
    // axis is 40 and the area fills its lower half. The dose rate of 0.04 on
    // a right axis of 0..0.05 runs above the area and starts at point 3.
    for (int k = 0; k < 10; ++k) {
        Chart.SeriesCPM().AddY(k == 9 ? 40 : 20, k == 0 ? "24/05/01 10:00" : "");
        if (k < 3) {
            Chart.SeriesSV().AddNull();
        } else {
            Chart.SeriesSV().AddY(0.04, "");
        }
    }
    Chart.replot();
    ASSERT_EQ(Chart.yAxis->range().upper, 40);
    ASSERT_NEAR(Chart.yAxis2->range().upper, 0.05, 1e-12);
    const QImage image = Chart.toPixmap(ChartWidth, ChartHeight).toImage();
    const QRect area = PlotArea();
    auto at = [&](double key, double value, QCPAxis* valueAxis) {
        return image.pixelColor(qRound(Chart.xAxis->coordToPixel(key)),
                                qRound(valueAxis->coordToPixel(value)));
    };

    const QColor orange(255, 179, 102); // #FF8000 at 60 % over white
    const QColor blue(64, 64, 255);     // #0000FF at 75 % over white
    const QColor white(255, 255, 255);
    const QColor frame(0x80, 0x80, 0x80);

    // Sample between grid lines: left labels lie at multiples of 5.
    EXPECT_TRUE(Near(at(4.5, 12.5, Chart.yAxis), orange)) << Name(at(4.5, 12.5, Chart.yAxis));
    EXPECT_TRUE(Near(at(4.5, 27.5, Chart.yAxis), white)) << Name(at(4.5, 27.5, Chart.yAxis));

    const int lineY = qRound(Chart.yAxis2->coordToPixel(0.04));
    auto blueNear = [&](int x) {
        for (int y = lineY - 1; y <= lineY + 1; ++y) {
            if (Near(image.pixelColor(x, y), blue)) {
                return true;
            }
        }
        return false;
    };
    EXPECT_TRUE(blueNear(qRound(Chart.xAxis->coordToPixel(5.5))));
    EXPECT_TRUE(blueNear(qRound(Chart.xAxis->coordToPixel(3.2))));
    EXPECT_FALSE(blueNear(qRound(Chart.xAxis->coordToPixel(1.5)))) << "line before point 3";
    EXPECT_FALSE(blueNear(qRound(Chart.xAxis->coordToPixel(2.8)))) << "line before point 3";

    const int midX = area.left() + area.width() / 2 + 3;
    const int midY = area.top() + area.height() / 2 + 3;
    EXPECT_EQ(Name(image.pixelColor(area.left() - 1, midY)), Name(frame));
    EXPECT_EQ(Name(image.pixelColor(area.right() + 1, midY)), Name(frame));
    EXPECT_EQ(Name(image.pixelColor(midX, area.top() - 1)), Name(frame));
    EXPECT_EQ(Name(image.pixelColor(midX, area.bottom() + 1)), Name(frame));
    // Outside the frame the panel is white.
    EXPECT_EQ(Name(image.pixelColor(midX, area.top() - 3)), Name(white));
}

TEST_F(ChartWidgetTest, RubberBandIsPinkWhileDragging) {
    AddCounts(50);
    const QPoint from = PlotArea().center() - QPoint(50, 40);
    const QPoint to = from + QPoint(100, 80);
    QTest::mousePress(&Chart, Qt::RightButton, Qt::NoModifier, from);
    QTest::mouseMove(&Chart, to);
    const QImage during = Chart.toPixmap(ChartWidth, ChartHeight).toImage();
    QTest::mouseRelease(&Chart, Qt::RightButton, Qt::NoModifier, to);
    const QImage after = Chart.toPixmap(ChartWidth, ChartHeight).toImage();
    const QPoint edge(from.x(), from.y() + 40);
    EXPECT_EQ(Name(during.pixelColor(edge)), "#ff0080");
    EXPECT_NE(Name(after.pixelColor(edge)), "#ff0080");
}

} // namespace
} // namespace ostrel
