// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart alone, at the size the main window gives it at start-up, filled
// with the minutes of the log scenario by the display rebuild.

#include "views/LogView.h"
#include "views/SeriesView.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

namespace ostrel {
class TChart;
} // namespace ostrel

namespace ostrel::bench {

// A log list that only counts its lines, for filling the chart alone.
class TCountingLog : public TLogView {
public:
    void Add(std::string_view) override { ++Lines; }
    void Delete(int) override { --Lines; }
    std::string Item(int) const override { return {}; }
    int Count() const override { return Lines; }
    void Clear() override { Lines = 0; }
    int ItemIndex() const override { return -1; }
    void SetItemIndex(int) override {}
    int Tag() const override { return 0; }
    bool IsVisible() const override { return false; }

private:
    int Lines = 0;
};

// A series that keeps nothing, for filling the log list alone.
class TNullSeries : public TSeriesView {
public:
    void Clear() override { Points = 0; }
    void AddY(double, std::string_view) override { ++Points; }
    void AddNull() override { ++Points; }
    int Count() const override { return Points; }
    double YValue(int) const override { return 0; }
    void SetYValue(int, double) override {}

private:
    int Points = 0;
};

class TChartScenario {
public:
    static constexpr int Width = 572;
    static constexpr int Height = 310;

    TChartScenario();
    ~TChartScenario();
    TChartScenario(const TChartScenario&) = delete;
    TChartScenario& operator=(const TChartScenario&) = delete;

    TChart& Chart() { return *Widget; }

    // Rebuilds both series from minutes 0 .. n-1 of the log scenario.
    void Fill(std::size_t n);
    // A right-button drag across the plot area from one fraction of its
    // width to another, as the user zooms (a leftward drag undoes zooming).
    void DragZoom(double fromFraction, double toFraction);
    // One full replot, drawn into the widget at once.
    void Replot();

private:
    std::unique_ptr<TChart> Widget;
};

} // namespace ostrel::bench
