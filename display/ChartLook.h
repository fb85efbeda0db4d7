// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The look of the chart: value tickers in the program's number patterns, the
// titles, fonts and colours of the axes and series, the frame around the plot
// area and the rubber band of a zoom.

#include "display/ChartScale.h"
#include "platform/FormatSettings.h"

#include <qcustomplot.h>

namespace ostrel {

// The label steps that the value axes start from.
inline constexpr double LeftIncrement = 5;
inline constexpr double RightIncrement = 0.05;

// Value labels at a step the chart chooses, written in the program's own
// number patterns with the separators of fs rather than QCustomPlot's.
class TValueTicker : public QCPAxisTickerFixed {
public:
    TValueTicker(int decimals, bool grouped, int minorTicks, const TFormatSettings& fs);

protected:
    int getSubTickCount(double) override;
    QString getTickLabel(double tick, const QLocale&, QChar, int) override;

private:
    int Decimals;
    int MinorTicks;
    QString DecimalPoint;
    QString GroupSeparator;
};

// A title reading bottom to top beside the plot area. QCustomPlot turns a
// right axis's own title the other way, top to bottom.
class TVerticalTitle : public QCPLayoutElement {
public:
    TVerticalTitle(QCustomPlot* plot, QCPAxisRect* beside, QString text, QFont font, int reserve);

    QString TitleText() const { return Text; }

    QSize minimumOuterSizeHint() const override { return {Width(), 0}; }
    QSize maximumOuterSizeHint() const override { return {Width(), QWIDGETSIZE_MAX}; }

protected:
    void draw(QCPPainter* painter) override;

private:
    int Width() const;

    QCPAxisRect* Beside;
    QString Text;
    QFont Font;
    int Reserve;
};

// What the chart keeps of its axes to scale them later.
struct TAxisLook {
    QSharedPointer<QCPAxisTickerText> LabelTicker;
    QSharedPointer<TValueTicker> LeftTicker;
    QSharedPointer<TValueTicker> RightTicker;
    TVerticalTitle* RightTitle = nullptr; // owned by the plot layout
    int LeftLabelPitch = 0;               // pixels one value label needs
    int RightLabelPitch = 0;
};

// Sets up the bottom, left and right axes and the right title.
TAxisLook SetUpAxes(QCustomPlot& plot, const TFormatSettings& fs);

// The graphs of the two series, in drawing order: the counts area on the
// left axis first, then the dose line on the right axis.
QCPGraph* AddCountsArea(QCustomPlot& plot);
QCPGraph* AddDoseLine(QCustomPlot& plot);

// The gray frame of the plot area and the hidden rubber band, both placed
// in pixels.
QCPItemRect* AddFrame(QCustomPlot& plot);
QCPItemRect* AddBand(QCustomPlot& plot);

// Reports whether the axis changed: other labels may need another width, and
// so another layout.
bool ApplyScale(QCPAxis* axis, QCPAxisTickerFixed& ticker, const TValueScale& scale);

} // namespace ostrel
