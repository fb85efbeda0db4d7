// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/Chart.h"

#include <QToolTip>

#include <algorithm>
#include <cmath>

namespace ostrel {

TChart::TChart(const TFormatSettings& fs, QWidget* parent) : QCustomPlot(parent), Fs(fs) {
    setObjectName(QStringLiteral("Chart"));
    // left, top, right, bottom
    plotLayout()->setMargins(QMargins(5, 10, 10, 5));
    plotLayout()->setAutoMargins(QCP::msNone);
    legend->setVisible(false);
    Look = SetUpAxes(*this, fs);
    CPM = std::make_unique<TChartSeries>(*this, AddCountsArea(*this));
    SV = std::make_unique<TChartSeries>(*this, AddDoseLine(*this));
    Frame = AddFrame(*this);
    Interaction = std::make_unique<TChartInteraction>(*axisRect(), *xAxis, *AddBand(*this));
    UpdateKeyRange();
    UpdateValueRanges();
}

TChart::~TChart() = default;

QString TChart::RightTitle() const {
    return Look.RightTitle->TitleText();
}

void TChart::updateLayout() {
    QCustomPlot::updateLayout();
    // The label step depends on the plot area's height, which is known only
    // now; a new step or top changes the width of the value labels, so the
    // layout is made once more.
    if (UpdateValueRanges()) {
        QCustomPlot::updateLayout();
    }
    PlaceFrame();
}

void TChart::PlaceFrame() {
    // Drawn one pixel outside the plot area so that no point is covered.
    const QRect area = axisRect()->rect();
    Frame->topLeft->setCoords(area.left() - 1, area.top() - 1);
    Frame->bottomRight->setCoords(area.left() + area.width(), area.top() + area.height());
}

void TChart::SeriesChanged() {
    Changed = true;
    if (UpdateDepth == 0) {
        Redraw();
    }
}

void TChart::Redraw() {
    Changed = false;
    UpdateKeyRange();
    UpdateValueRanges();
    if (DrawingHeld) {
        Stale = true;
        return;
    }
    replot(rpQueuedReplot);
}

void TChart::SetDrawingHeld(bool held) {
    DrawingHeld = held;
    if (!held && Stale) {
        Stale = false;
        replot(rpQueuedReplot);
    }
}

void TChart::LabelAdded(const TChartSeries& series, int index, const QString& label) {
    // Where both series label one point, the counts series' label is shown.
    if (&series == CPM.get() || !Look.LabelTicker->ticks().contains(index)) {
        Look.LabelTicker->addTick(index, label);
    }
}

void TChart::SeriesCleared() {
    Look.LabelTicker->clear();
    for (const TChartSeries* series : {SV.get(), CPM.get()}) {
        for (const auto& [index, label] : series->Labels()) {
            Look.LabelTicker->addTick(index, label);
        }
    }
}

void TChart::BeginUpdate() {
    ++UpdateDepth;
}

void TChart::EndUpdate() {
    // A tick whose readings changed no point (a count of 0) draws nothing.
    if (UpdateDepth > 0 && --UpdateDepth == 0 && Changed) {
        Redraw();
    }
}

void TChart::UpdateKeyRange() {
    if (!AutomaticView) {
        return;
    }
    const TKeyRange range = AutomaticKeyRange(std::max(CPM->Count(), SV->Count()));
    xAxis->setRange(range.Lower, range.Upper);
}

bool TChart::UpdateValueRanges() {
    const int height = axisRect()->rect().height();
    const TValueScale left =
        ChooseValueScale(CPM->Maximum(), LeftIncrement, height, Look.LeftLabelPitch);
    const TValueScale right =
        ChooseValueScale(SV->Maximum(), RightIncrement, height, Look.RightLabelPitch);
    const bool leftChanged = ApplyScale(yAxis, *Look.LeftTicker, left);
    const bool rightChanged = ApplyScale(yAxis2, *Look.RightTicker, right);
    return leftChanged || rightChanged;
}

void TChart::UndoZoom() {
    AutomaticView = true;
    UpdateKeyRange();
    replot(rpQueuedReplot);
}

void TChart::Apply(TChartInteraction::TOutcome outcome) {
    switch (outcome) {
    case TChartInteraction::TOutcome::None:
        return;
    case TChartInteraction::TOutcome::Redraw:
        replot(rpQueuedReplot);
        return;
    case TChartInteraction::TOutcome::ViewMoved:
        AutomaticView = false;
        replot(rpQueuedReplot);
        return;
    case TChartInteraction::TOutcome::UndoZoom:
        UndoZoom();
        return;
    }
}

QString TChart::TipText(QPoint pos) const {
    if (Interaction->Dragging() || !axisRect()->rect().contains(pos)) {
        return {};
    }
    const double key = std::round(xAxis->pixelToCoord(pos.x()));
    if (!(key >= 0 && key < CPM->Count())) {
        return {};
    }
    const int index = static_cast<int>(key);
    const auto count = static_cast<std::int64_t>(CPM->YValue(index));
    std::optional<TTipBounds> bounds;
    if (Tips.Interval && count >= 0) {
        bounds = Tips.Interval(static_cast<std::uint64_t>(count));
    }
    std::optional<double> doseRate;
    std::optional<TTipBounds> doseRateBounds;
    if (index < SV->Count() && !SV->IsNull(index)) {
        doseRate = SV->YValue(index);
        if (Tips.DoseRateInterval) {
            doseRateBounds = Tips.DoseRateInterval(index);
        }
    }
    return PointTipText(Tips.TimeText ? Tips.TimeText(index) : std::string(), count, bounds,
                        doseRate, doseRateBounds, Fs);
}

void TChart::ShowTip(QPoint pos, QPoint globalPos) {
    const QString text = TipText(pos);
    if (text.isEmpty()) {
        QToolTip::hideText();
    } else {
        QToolTip::showText(globalPos, text, this);
    }
}

void TChart::mousePressEvent(QMouseEvent* event) {
    event->accept();
    QToolTip::hideText();
    Interaction->Press(event->button(), event->position().toPoint());
}

void TChart::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void TChart::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    Apply(Interaction->Move(event->position().toPoint()));
    ShowTip(event->position().toPoint(), event->globalPosition().toPoint());
}

void TChart::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    Apply(Interaction->Release(event->button(), event->position().toPoint()));
}

void TChart::wheelEvent(QWheelEvent* event) {
    // The chart has no wheel zoom.
    event->accept();
}

} // namespace ostrel
