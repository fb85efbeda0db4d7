// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The operations the live loop and the rebuild use on a chart series. The
// chart implements them; tests and benchmarks use plain fakes.

#include <cstddef>
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
    // Room for n points in all, made before a refill of known size.
    virtual void Reserve(std::size_t /*n*/) {}
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
};

} // namespace ostrel
