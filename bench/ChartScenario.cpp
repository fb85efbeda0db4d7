// SPDX-License-Identifier: GPL-3.0-or-later
#include "bench/ChartScenario.h"

#include "bench/LogScenario.h"
#include "bench/OpenScenario.h"
#include "display/Chart.h"
#include "display/ChartViews.h"
#include "views/RebuildDisplay.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QtTest/QTest>

namespace ostrel::bench {

namespace {

void SendMouse(QWidget& widget, QEvent::Type type, QPointF at, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, at, widget.mapToGlobal(at), button, held, Qt::NoModifier);
    QCoreApplication::sendEvent(&widget, &event);
}

} // namespace

TChartScenario::TChartScenario() : Widget(std::make_unique<TChart>(ScenarioFormatSettings())) {
    Widget->resize(Width, Height);
    Widget->show();
    [[maybe_unused]] const bool exposed = QTest::qWaitForWindowExposed(Widget.get());
    TOpenScenario::Settle();
}

TChartScenario::~TChartScenario() = default;

void TChartScenario::Fill(std::size_t n) {
    const TFormatSettings fs = ScenarioFormatSettings();
    TRecords records;
    records.Reserve(n);
    for (std::size_t k = 0; k < n; ++k) {
        records.Append(ScenarioRecord(k, fs));
    }
    TCountingLog log;
    RebuildDisplay(records, ScenarioCoefficient, ScenarioBackground, ChartViews(*Widget, log), fs);
    TOpenScenario::Settle();
}

void TChartScenario::DragZoom(double fromFraction, double toFraction) {
    const QRect area = Widget->axisRect()->rect();
    const double y = area.center().y();
    const QPointF from(area.left() + fromFraction * area.width(), y);
    const QPointF to(area.left() + toFraction * area.width(), y);
    SendMouse(*Widget, QEvent::MouseButtonPress, from, Qt::RightButton, Qt::RightButton);
    SendMouse(*Widget, QEvent::MouseMove, to, Qt::NoButton, Qt::RightButton);
    SendMouse(*Widget, QEvent::MouseButtonRelease, to, Qt::RightButton, Qt::NoButton);
    TOpenScenario::Settle();
}

void TChartScenario::Replot() {
    Widget->replot(QCustomPlot::rpImmediateRefresh);
}

} // namespace ostrel::bench
