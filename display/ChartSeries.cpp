// SPDX-License-Identifier: GPL-3.0-or-later
// The series adaptor: the view operations over a QCPGraph's data.
#include "display/Chart.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace ostrel {

TChartSeries::TChartSeries(TChart& chart, QCPGraph* graph)
    : Owner(chart), Drawing(graph), Data(QSharedPointer<TGraphData>::create()) {
    graph->setData(Data.staticCast<QCPGraphDataContainer>());
}

void TChartSeries::Clear() {
    Data->clear();
    LabelList.clear();
    HasLargest = false;
    Largest = 0;
    Owner.SeriesCleared();
    Owner.SeriesChanged();
}

void TChartSeries::AddY(double value, std::string_view label) {
    const int index = Count();
    Append(value);
    if (!label.empty()) {
        const QString text = QString::fromUtf8(label.data(), static_cast<qsizetype>(label.size()));
        LabelList.emplace_back(index, text);
        Owner.LabelAdded(*this, index, text);
    }
    if (std::isfinite(value) && (!HasLargest || value > Largest)) {
        Largest = value;
        HasLargest = true;
    }
    Owner.SeriesChanged();
}

void TChartSeries::AddNull() {
    Append(std::numeric_limits<double>::quiet_NaN());
    Owner.SeriesChanged();
}

int TChartSeries::Count() const {
    return Data->size();
}

double TChartSeries::YValue(int index) const {
    if (index < 0 || index >= Count()) {
        return 0;
    }
    const double value = Data->at(index)->value;
    return std::isnan(value) ? 0 : value;
}

void TChartSeries::SetYValue(int index, double value) {
    if (index < 0 || index >= Count()) {
        return;
    }
    auto point = Data->begin() + index;
    const double old = point->value;
    if (old == value) {
        return;
    }
    point->value = value;
    if (std::isfinite(value) && (!HasLargest || value >= Largest)) {
        Largest = value;
        HasLargest = true;
    } else if (HasLargest && std::isfinite(old) && old >= Largest) {
        // The maximum itself went down; only now is a full pass needed.
        RescanMaximum();
    }
    Owner.SeriesChanged();
}

void TChartSeries::Reserve(std::size_t n) {
    if (n <= static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        Data->Reserve(static_cast<int>(n));
    }
}

void TChartSeries::BeginUpdate() {
    Owner.BeginUpdate();
}

void TChartSeries::EndUpdate() {
    Owner.EndUpdate();
}

bool TChartSeries::IsNull(int index) const {
    return index >= 0 && index < Count() && std::isnan(Data->at(index)->value);
}

QString TChartSeries::Label(int index) const {
    const auto found = std::lower_bound(
        LabelList.begin(), LabelList.end(), index,
        [](const std::pair<int, QString>& entry, int k) { return entry.first < k; });
    return found != LabelList.end() && found->first == index ? found->second : QString();
}

std::optional<double> TChartSeries::Maximum() const {
    return HasLargest ? std::optional<double>(Largest) : std::nullopt;
}

void TChartSeries::Append(double y) {
    Data->add(QCPGraphData(Count(), y));
}

void TChartSeries::RescanMaximum() {
    HasLargest = false;
    for (auto it = Data->constBegin(); it != Data->constEnd(); ++it) {
        if (std::isfinite(it->value) && (!HasLargest || it->value > Largest)) {
            Largest = it->value;
            HasLargest = true;
        }
    }
}

} // namespace ostrel
