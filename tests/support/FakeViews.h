// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// In-memory chart series and log list for tests of the code that fills them.

#include "views/DisplayViews.h"

#include <cmath>
#include <string>
#include <vector>

namespace ostrel::test {

struct TFakePoint {
    double Y = 0;
    std::string Label;
    bool Null = false;
    bool operator==(const TFakePoint&) const = default;
};

class TFakeSeries : public TSeriesView {
public:
    std::vector<TFakePoint> Points;

    void Clear() override { Points.clear(); }
    void AddY(double value, std::string_view label) override {
        Points.push_back({value, std::string(label), false});
    }
    void AddNull() override { Points.push_back({0, "", true}); }
    int Count() const override { return static_cast<int>(Points.size()); }
    double YValue(int index) const override { return Points.at(index).Y; }
    void SetYValue(int index, double value) override { Points.at(index).Y = value; }
};

class TFakeLog : public TLogView {
public:
    std::vector<std::string> Lines;
    int Selected = -1;
    int Frozen = 0;
    bool Shown = true;

    void Add(std::string_view line) override { Lines.emplace_back(line); }
    void Delete(int index) override { Lines.erase(Lines.begin() + index); }
    std::string Item(int index) const override { return Lines.at(index); }
    int Count() const override { return static_cast<int>(Lines.size()); }
    void Clear() override {
        Lines.clear();
        Selected = -1;
    }
    int ItemIndex() const override { return Selected; }
    void SetItemIndex(int index) override { Selected = index; }
    int Tag() const override { return Frozen; }
    bool IsVisible() const override { return Shown; }
};

// Both series and the log list, for the code that fills them together.
struct TFakeViews {
    TFakeSeries Cpm;
    TFakeSeries Sv;
    TFakeLog Log;

    TDisplayViews Views() { return {Cpm, Sv, Log}; }
};

} // namespace ostrel::test
