// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The views of a logger without a window: series that keep their values and
// a log list that keeps its lines, none of them drawn or shown.

#include "views/DisplayViews.h"
#include "views/LogLines.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel {

class TPlainSeries final : public TSeriesView {
public:
    void Clear() override { std::vector<double>().swap(Values); }
    void AddY(double value, std::string_view /*label*/) override { Values.push_back(value); }
    void AddNull() override { Values.push_back(0); }
    int Count() const override { return static_cast<int>(Values.size()); }
    double YValue(int index) const override { return Values.at(static_cast<std::size_t>(index)); }
    void SetYValue(int index, double value) override {
        Values.at(static_cast<std::size_t>(index)) = value;
    }
    void Reserve(std::size_t n) override { Values.reserve(n); }

private:
    std::vector<double> Values;
};

// Hidden, so it never follows or selects a line.
class TPlainLog final : public TLogView {
public:
    void Add(std::string_view line) override { Lines.Append(line); }
    void Delete(int index) override { Lines.Delete(index); }
    std::string Item(int index) const override { return Lines.Line(index); }
    void AppendItem(std::string& out, int index) const override { Lines.AppendTo(out, index); }
    int Count() const override { return Lines.Count(); }
    void Clear() override { Lines.Clear(); }
    int ItemIndex() const override { return -1; }
    void SetItemIndex(int /*index*/) override {}
    int Tag() const override { return 0; }
    bool IsVisible() const override { return false; }
    void AddLines(std::shared_ptr<const TLineSource> source) override {
        Lines.Append(std::move(source));
    }

private:
    TLogLines Lines;
};

struct TPlainViews {
    TPlainSeries SeriesCPM;
    TPlainSeries SeriesSV;
    TPlainLog Log;

    TDisplayViews Views() { return {SeriesCPM, SeriesSV, Log}; }
};

} // namespace ostrel
