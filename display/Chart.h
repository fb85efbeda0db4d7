// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart of the main window: counts per minute as an orange area on the
// left axis, the dose rate as a blue line on the right axis, one point per
// minute record at X = the point's index.

#include "views/SeriesView.h"

#include "display/ChartInteraction.h"
#include "display/ChartLook.h"
#include "display/ChartTip.h"
#include "platform/FormatSettings.h"

#include <qcustomplot.h>

#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace ostrel {

class TChart;

// One series of the chart, drawn by a QCPGraph that the chart owns. A null
// point is kept as NaN in the graph, which leaves a gap in the line and in
// the area; read back it has Y 0.
class TChartSeries final : public TSeriesView {
public:
    TChartSeries(TChart& chart, QCPGraph* graph);

    void Clear() override;
    void AddY(double value, std::string_view label) override;
    void AddNull() override;
    int Count() const override;
    double YValue(int index) const override;
    // Writing a value to a null point makes it an ordinary point. An index
    // outside the series is ignored.
    void SetYValue(int index, double value) override;
    void Reserve(std::size_t n) override;
    void BeginUpdate() override;
    void EndUpdate() override;

    bool IsNull(int index) const;
    // The label given when the point was added; empty for most points.
    QString Label(int index) const;
    // The non-empty labels, by point index in ascending order.
    const std::vector<std::pair<int, QString>>& Labels() const { return LabelList; }
    // The largest Y among the non-null points, none while there is none.
    std::optional<double> Maximum() const;
    QCPGraph* Graph() const { return Drawing; }

private:
    void Append(double y);
    void RescanMaximum();

    TChart& Owner;
    QCPGraph* Drawing;
    // The graph's points in a container that can make room ahead.
    class TGraphData final : public QCPGraphDataContainer {
    public:
        void Reserve(int n) { mData.reserve(n); }
    };
    QSharedPointer<TGraphData> Data;
    std::vector<std::pair<int, QString>> LabelList;
    double Largest = 0;
    bool HasLargest = false;
};

class TChart : public QCustomPlot {
    Q_OBJECT
public:
    // fs gives the separators of the value labels.
    explicit TChart(const TFormatSettings& fs, QWidget* parent = nullptr);
    ~TChart() override;

    TChartSeries& SeriesCPM() { return *CPM; }
    TChartSeries& SeriesSV() { return *SV; }
    const TChartSeries& SeriesCPM() const { return *CPM; }
    const TChartSeries& SeriesSV() const { return *SV; }

    // True while the horizontal range follows the points (first page);
    // false once the user has zoomed or panned.
    bool IsAutomaticView() const { return AutomaticView; }
    // Gives the horizontal axis back its automatic range.
    void UndoZoom();

    // The title beside the right axis.
    QString RightTitle() const;

    // What the tip over a point tells besides the point's values.
    void SetTips(TChartTips tips) { Tips = std::move(tips); }
    // The tip for the pointer at pos: empty outside the plot area, away from
    // every point and while a drag is under way.
    QString TipText(QPoint pos) const;

    // Held (while its window is minimized): changes are taken in but not
    // drawn; released, what changed meanwhile is drawn once.
    void SetDrawingHeld(bool held);

protected:
    void updateLayout() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    friend class TChartSeries;

    void SeriesChanged();
    void Redraw();
    void LabelAdded(const TChartSeries& series, int index, const QString& label);
    void SeriesCleared();
    void BeginUpdate();
    void EndUpdate();
    void UpdateKeyRange();
    bool UpdateValueRanges();
    void PlaceFrame();
    void Apply(TChartInteraction::TOutcome outcome);
    void ShowTip(QPoint pos, QPoint globalPos);

    std::unique_ptr<TChartSeries> CPM;
    std::unique_ptr<TChartSeries> SV;
    TAxisLook Look;
    TFormatSettings Fs;
    TChartTips Tips;
    QCPItemRect* Frame = nullptr; // owned by the plot
    std::unique_ptr<TChartInteraction> Interaction;
    bool AutomaticView = true;
    int UpdateDepth = 0;
    bool Changed = false; // inside an update
    bool DrawingHeld = false;
    bool Stale = false; // changed while held
};

} // namespace ostrel
