// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// How the user moves through the chart: a left-button drag pans, a
// right-button drag draws a rubber band and zooms (to the right) or undoes
// zooming (to the left). Only the horizontal range moves.

#include <qcustomplot.h>

namespace ostrel {

class TChartInteraction {
public:
    // A right-button drag must cover more than this many pixels horizontally
    // to zoom or to undo.
    static constexpr int ZoomThreshold = 16;

    // What the chart has to do after an event.
    enum class TOutcome {
        None,
        Redraw,    // the band moved or went
        ViewMoved, // the user set the horizontal range: it no longer follows the points
        UndoZoom,  // give the horizontal axis back its automatic range
    };

    // area: the plot area that drags start in; keyAxis: the horizontal axis
    // that they move; band: the rubber band, shown while zooming. All three
    // belong to the chart, which outlives this.
    TChartInteraction(const QCPAxisRect& area, QCPAxis& keyAxis, QCPItemRect& band);

    // A press starts a drag inside the plot area, unless one is under way.
    void Press(Qt::MouseButton button, QPoint pos);
    TOutcome Move(QPoint pos);
    // Only the button that started the drag ends it.
    TOutcome Release(Qt::MouseButton button, QPoint pos);
    // Between the press that started a drag and the release that ends it.
    bool Dragging() const { return Drag != TDrag::None; }

private:
    enum class TDrag { None, Pan, Zoom };

    TOutcome PanTo(int x);
    TOutcome FinishZoom(int x);

    const QCPAxisRect& Area;
    QCPAxis& KeyAxis;
    QCPItemRect& Band;
    TDrag Drag = TDrag::None;
    QPoint DragStart;
    QCPRange DragStartRange;
};

} // namespace ostrel
