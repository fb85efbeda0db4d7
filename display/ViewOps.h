// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operations the live loop and the rebuild use on the chart's two series
// and on the log list. The widgets implement them; tests use plain fakes.

#include <cstddef>
#include <string>
#include <string_view>

namespace ostrel {

// One chart series: a point's X is its index; a null point has Y 0 and is
// not drawn.
class TSeriesView {
public:
    virtual ~TSeriesView() = default;
    virtual void Clear() = 0;
    virtual void AddY(double value, std::string_view label) = 0;
    virtual void AddNull() = 0;
    virtual int Count() const = 0;
    virtual double YValue(int index) const = 0;
    virtual void SetYValue(int index, double value) = 0;
    // Brackets a bulk refill; what is shown afterwards is the same as
    // point-by-point adding.
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};

// The log list: text lines, a selection, the freeze flag and visibility.
class TLogView {
public:
    virtual ~TLogView() = default;
    virtual void Add(std::string_view line) = 0;   // Items.Add
    virtual void Delete(int index) = 0;            // Items.Delete
    virtual std::string Item(int index) const = 0; // Items[index]
    virtual int Count() const = 0;                 // Items.Count
    virtual void Clear() = 0;
    virtual int ItemIndex() const = 0;
    virtual void SetItemIndex(int index) = 0;
    virtual int Tag() const = 0; // 0 follows, 1 frozen
    virtual bool IsVisible() const = 0;
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}

    // Selects the newest line when the list is shown and not frozen.
    void FollowLastLine() {
        if (IsVisible() && Tag() == 0) {
            SetItemIndex(Count() - 1);
        }
    }
};

} // namespace ostrel
