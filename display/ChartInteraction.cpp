// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ChartInteraction.h"

#include <algorithm>

namespace ostrel {

TChartInteraction::TChartInteraction(const QCPAxisRect& area, QCPAxis& keyAxis, QCPItemRect& band)
    : Area(area), KeyAxis(keyAxis), Band(band) {}

void TChartInteraction::Press(Qt::MouseButton button, QPoint pos) {
    if (Drag != TDrag::None || !Area.rect().contains(pos)) {
        return;
    }
    if (button == Qt::LeftButton) {
        Drag = TDrag::Pan;
        DragStartRange = KeyAxis.range();
    } else if (button == Qt::RightButton) {
        Drag = TDrag::Zoom;
    } else {
        return;
    }
    DragStart = pos;
}

TChartInteraction::TOutcome TChartInteraction::Move(QPoint pos) {
    if (Drag == TDrag::Pan) {
        return PanTo(pos.x());
    }
    if (Drag == TDrag::Zoom) {
        Band.topLeft->setCoords(std::min(DragStart.x(), pos.x()), std::min(DragStart.y(), pos.y()));
        Band.bottomRight->setCoords(std::max(DragStart.x(), pos.x()),
                                    std::max(DragStart.y(), pos.y()));
        Band.setVisible(true);
        return TOutcome::Redraw;
    }
    return TOutcome::None;
}

TChartInteraction::TOutcome TChartInteraction::Release(Qt::MouseButton button, QPoint pos) {
    if (Drag == TDrag::Pan && button == Qt::LeftButton) {
        Drag = TDrag::None;
        return PanTo(pos.x());
    }
    if (Drag == TDrag::Zoom && button == Qt::RightButton) {
        Drag = TDrag::None;
        Band.setVisible(false);
        return FinishZoom(pos.x());
    }
    return TOutcome::None;
}

TChartInteraction::TOutcome TChartInteraction::PanTo(int x) {
    const int dx = x - DragStart.x();
    const int width = Area.rect().width();
    if (dx == 0 || width <= 0) {
        return TOutcome::None;
    }
    const double shift = -dx * DragStartRange.size() / width;
    KeyAxis.setRange(DragStartRange.lower + shift, DragStartRange.upper + shift);
    return TOutcome::ViewMoved;
}

TChartInteraction::TOutcome TChartInteraction::FinishZoom(int x) {
    const int dx = x - DragStart.x();
    if (dx < -ZoomThreshold) {
        return TOutcome::UndoZoom;
    }
    if (dx <= ZoomThreshold) {
        return TOutcome::Redraw;
    }
    const QRect area = Area.rect();
    const int from = std::clamp(DragStart.x(), area.left(), area.right());
    const int to = std::clamp(x, area.left(), area.right());
    if (to <= from) {
        return TOutcome::Redraw;
    }
    KeyAxis.setRange(KeyAxis.pixelToCoord(from), KeyAxis.pixelToCoord(to));
    return TOutcome::ViewMoved;
}

} // namespace ostrel
