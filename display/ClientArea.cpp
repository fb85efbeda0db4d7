// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ClientArea.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace ostrel {

int LogHeightAfterDrop(int proposedLogHeight, int clientHeight) {
    const int maxLogHeight = clientHeight - SplitterHeight - MinChartHeight;
    const int height = std::min(proposedLogHeight, maxLogHeight);
    return height <= SnapLogHeight ? MinLogHeight : height;
}

TSplitterBar::TSplitterBar(QWidget* parent) : QWidget(parent) {
    setCursor(Qt::SizeVerCursor);
    setFixedHeight(SplitterHeight);
}

void TSplitterBar::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    Dragging = true;
    PressY = qRound(event->position().y());
}

void TSplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !Dragging) {
        return;
    }
    Dragging = false;
    emit Dropped(qRound(event->position().y()) - PressY);
}

void TSplitterBar::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().button());
}

TClientArea::TClientArea(QWidget* chart, QWidget* parent)
    : QWidget(parent), ChartWidget(chart), SplitterBar(new TSplitterBar(this)),
      LogList(new TLogList(this)) {
    ChartWidget->setParent(this);
    LogList->setMinimumHeight(MinLogHeight);
    connect(SplitterBar, &TSplitterBar::Dropped, this,
            [this](int deltaY) { DropSplitter(SplitterBar->y() + deltaY); });
    Arrange();
}

void TClientArea::HideClick() {
    SplitterBar->hide();
    LogList->hide();
    Arrange();
}

void TClientArea::ShowClick() {
    LogList->show();
    SplitterBar->show();
    Arrange();
}

void TClientArea::DropSplitter(int splitterTop) {
    const int proposed = height() - splitterTop - SplitterHeight;
    LogHeightValue = LogHeightAfterDrop(proposed, height());
    Arrange();
}

QSize TClientArea::sizeHint() const {
    return {572, 377};
}

void TClientArea::resizeEvent(QResizeEvent*) {
    Arrange();
}

void TClientArea::Arrange() {
    const int w = width();
    int bottom = height();
    if (!LogList->isHidden()) {
        bottom -= LogHeightValue;
        LogList->setGeometry(0, bottom, w, LogHeightValue);
    }
    if (!SplitterBar->isHidden()) {
        bottom -= SplitterHeight;
        SplitterBar->setGeometry(0, bottom, w, SplitterHeight);
    }
    ChartWidget->setGeometry(0, 0, w, std::max(0, bottom));
}

} // namespace ostrel
