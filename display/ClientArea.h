// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The main window's client area: the chart on top, the splitter `Splitter`
// and the log list `Log` docked to the bottom, and the commands that hide and
// show the list.

#include "display/LogList.h"

#include <QWidget>

namespace ostrel {

// Sizes of the client area's parts, in pixels.
inline constexpr int StartLogHeight = 64;
inline constexpr int MinLogHeight = 20;
inline constexpr int SplitterHeight = 3;
inline constexpr int MinChartHeight = 30;
// A drop leaving the list this high or lower snaps it to MinLogHeight.
inline constexpr int SnapLogHeight = 30;

// The list's height after the splitter is dropped where the list would be
// proposedLogHeight high, in a client area clientHeight high: the chart keeps
// MinChartHeight, and a list of SnapLogHeight or less gets MinLogHeight.
int LogHeightAfterDrop(int proposedLogHeight, int clientHeight);

// The bar between chart and list. It does not move while dragged; on release
// it reports how far the mouse travelled.
class TSplitterBar : public QWidget {
    Q_OBJECT
public:
    explicit TSplitterBar(QWidget* parent = nullptr);

signals:
    // Positive when dropped lower than it was picked up.
    void Dropped(int deltaY);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool Dragging = false;
    int PressY = 0;
};

class TClientArea : public QWidget {
    Q_OBJECT
public:
    // Takes the chart widget (not null) over as a child.
    explicit TClientArea(QWidget* chart, QWidget* parent = nullptr);

    TLogList& Log() { return *LogList; }
    const TLogList& Log() const { return *LogList; }
    QWidget& Splitter() { return *SplitterBar; }
    QWidget& Chart() { return *ChartWidget; }

    // Hides the splitter, then the list; the chart takes the whole area.
    void HideClick();
    // Shows the list, then the splitter: list at the bottom, splitter directly
    // above it, whatever was hidden or moved before.
    void ShowClick();

    // The list's height while shown; kept when the area is resized.
    int LogHeight() const { return LogHeightValue; }
    // Applies the drop rule to a splitter whose top edge was dropped at
    // splitterTop (client coordinates).
    void DropSplitter(int splitterTop);

    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Arrange();

    QWidget* const ChartWidget;
    TSplitterBar* const SplitterBar;
    TLogList* const LogList;
    int LogHeightValue = StartLogHeight;
};

} // namespace ostrel
