// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart of the main window: counts per minute as an orange area on the
// left axis, the dose rate as a blue line on the right axis, one point per
// minute record at X = the point's index.

#include "views/SeriesView.h"

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
    QSharedPointer<QCPGraphDataContainer> Data;
    std::vector<std::pair<int, QString>> LabelList;
    double Largest = 0;
    bool HasLargest = false;
};

class TValueTicker;
class TVerticalTitle;

class TChart : public QCustomPlot {
    Q_OBJECT
public:
    // A right-button drag must cover more than this many pixels horizontally
    // to zoom or to undo.
    static constexpr int ZoomThreshold = 16;

    explicit TChart(QWidget* parent = nullptr);
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
    QFont RightTitleFont() const;

protected:
    void updateLayout() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    friend class TChartSeries;

    enum class TDrag { None, Pan, Zoom };

    void SetUpAxes();
    void SetUpSeries();
    void SetUpFrameAndBand();
    void SeriesChanged();
    void LabelAdded(const TChartSeries& series, int index, const QString& label);
    void SeriesCleared();
    void BeginUpdate();
    void EndUpdate();
    void UpdateKeyRange();
    bool UpdateValueRanges();
    void PlaceFrame();
    void ShowBand(int fromX, int toX, int y0, int y1);
    void PanTo(int x);
    void FinishZoom(int x);
    double PixelToKey(double x) const;

    std::unique_ptr<TChartSeries> CPM;
    std::unique_ptr<TChartSeries> SV;
    QSharedPointer<QCPAxisTickerText> LabelTicker;
    QSharedPointer<TValueTicker> LeftTicker;
    QSharedPointer<TValueTicker> RightTicker;
    TVerticalTitle* RightTitleElement = nullptr; // owned by the plot layout
    QCPItemRect* Frame = nullptr;                // owned by the plot
    QCPItemRect* Band = nullptr;                 // owned by the plot
    int LeftLabelPitch = 0;
    int RightLabelPitch = 0;
    bool AutomaticView = true;
    int UpdateDepth = 0;
    TDrag Drag = TDrag::None;
    QPoint DragStart;
    QCPRange DragStartRange;
};

} // namespace ostrel
