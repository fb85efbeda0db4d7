// SPDX-License-Identifier: GPL-3.0-or-later
// The look of the chart: tickers, titles, fonts and colours of its axes and
// series, the frame and the rubber band.
#include "display/ChartLook.h"

#include "platform/Translation.h"

#include <QFontDatabase>
#include <QFontMetrics>

#include <algorithm>

namespace ostrel {

namespace {

constexpr QRgb CPMColour = 0xFF8000;
constexpr int CPMTransparency = 40; // per cent
constexpr QRgb SVColour = 0x0000FF;
constexpr int SVTransparency = 25; // per cent
constexpr QRgb FrameColour = 0x808080;
constexpr QRgb LabelGridColour = 0xC0C0C0;
constexpr QRgb ValueGridColour = 0x808080;
constexpr QRgb BandColour = 0xFF0080;

constexpr int RightMinorTicks = 4;
constexpr int RightTitleReserve = 9;
// Labels closer than their own height plus this would touch.
constexpr int LabelGap = 2;

const char* const CPMTitle = OSTREL_TR("Ostrel", "CPM");
const char* const SVTitle = OSTREL_TR("Ostrel", "uSv/ h");
// Stand-ins for the proportional and the fixed-pitch Japanese Gothic fonts.
const char* const TitleFontFamily = "IPAPGothic";
const char* const ValueFontFamily = "IPAGothic";

QColor WithTransparency(QRgb rgb, int percent) {
    QColor colour(rgb);
    colour.setAlpha(qRound(255 * (100 - percent) / 100.0));
    return colour;
}

// A missing font is no error: the chart then keeps its default font.
QFont ProgramFont(const QFont& base, const QString& family) {
    QFont font = base;
    if (QFontDatabase::hasFamily(family)) {
        font.setFamilies({family});
    }
    return font;
}

// Dots one pixel long, one pixel apart.
QPen DottedPen(QRgb rgb) {
    QPen pen{QColor(rgb), 1};
    pen.setDashPattern({1.0, 1.0});
    return pen;
}

// An unfilled rectangle, placed in pixels rather than in axis coordinates.
QCPItemRect* AddOutline(QCustomPlot& plot, const QString& layer, QRgb colour) {
    auto* item = new QCPItemRect(&plot);
    item->setLayer(layer);
    item->setClipToAxisRect(false);
    item->setSelectable(false);
    item->setAntialiased(false);
    item->setPen(QPen(QColor(colour), 1));
    item->setBrush(Qt::NoBrush);
    item->topLeft->setType(QCPItemPosition::ptAbsolute);
    item->bottomRight->setType(QCPItemPosition::ptAbsolute);
    return item;
}

} // namespace

bool ApplyScale(QCPAxis* axis, QCPAxisTickerFixed& ticker, const TValueScale& scale) {
    const bool changed = ticker.tickStep() != scale.Step || axis->range().lower != 0 ||
                         axis->range().upper != scale.Maximum;
    ticker.setTickStep(scale.Step);
    axis->setRange(0, scale.Maximum);
    return changed;
}

TValueTicker::TValueTicker(int decimals, bool grouped, int minorTicks, const TFormatSettings& fs)
    : Decimals(decimals), MinorTicks(minorTicks),
      DecimalPoint(QString::fromStdString(fs.DecimalSeparator)),
      GroupSeparator(grouped ? QString::fromStdString(fs.ThousandSeparator) : QString()) {
    setScaleStrategy(ssNone);
}

int TValueTicker::getSubTickCount(double) {
    return MinorTicks;
}

QString TValueTicker::getTickLabel(double tick, const QLocale&, QChar, int) {
    return FormatGroupedFixed(tick, Decimals, DecimalPoint, GroupSeparator);
}

TVerticalTitle::TVerticalTitle(QCustomPlot* plot, QCPAxisRect* beside, QString text, QFont font,
                               int reserve)
    : QCPLayoutElement(plot), Beside(beside), Text(std::move(text)), Font(std::move(font)),
      Reserve(reserve) {}

void TVerticalTitle::draw(QCPPainter* painter) {
    const QRect plotArea = Beside->rect();
    painter->save();
    painter->setFont(Font);
    painter->setPen(Qt::black);
    painter->translate(mRect.left() + mRect.width() / 2.0,
                       plotArea.top() + plotArea.height() / 2.0);
    painter->rotate(-90);
    const QRectF box(-plotArea.height() / 2.0, -mRect.width() / 2.0, plotArea.height(),
                     mRect.width());
    painter->drawText(box, Qt::AlignCenter, Text);
    painter->restore();
}

int TVerticalTitle::Width() const {
    return std::max(Reserve, QFontMetrics(Font).height());
}

TAxisLook SetUpAxes(QCustomPlot& plot, const TFormatSettings& fs) {
    TAxisLook look;
    QCPAxis* const xAxis = plot.xAxis;
    QCPAxis* const yAxis = plot.yAxis;
    QCPAxis* const yAxis2 = plot.yAxis2;
    const QFont titleFont = ProgramFont(plot.font(), QString::fromLatin1(TitleFontFamily));
    // The frame item draws the plot area's border on all four sides.
    for (QCPAxis* axis : {xAxis, yAxis, yAxis2}) {
        axis->setBasePen(Qt::NoPen);
        axis->grid()->setZeroLinePen(Qt::NoPen);
        axis->grid()->setSubGridVisible(false);
    }
    plot.xAxis2->setVisible(false);

    look.LabelTicker = QSharedPointer<QCPAxisTickerText>::create();
    look.LabelTicker->setSubTickCount(0);
    xAxis->setTicker(look.LabelTicker);
    xAxis->setSubTicks(false);
    xAxis->setTickLength(0, 5);
    xAxis->setTickLabelRotation(-90);
    xAxis->grid()->setPen(DottedPen(LabelGridColour));

    look.LeftTicker = QSharedPointer<TValueTicker>::create(0, false, 0, fs);
    yAxis->setTicker(look.LeftTicker);
    yAxis->setSubTicks(false);
    yAxis->setTickLength(0, 2);
    yAxis->setLabel(QString::fromStdString(Translate(CPMTitle)));
    yAxis->setLabelFont(titleFont);
    yAxis->grid()->setPen(DottedPen(ValueGridColour));

    look.RightTicker = QSharedPointer<TValueTicker>::create(2, true, RightMinorTicks, fs);
    yAxis2->setVisible(true);
    yAxis2->setTicker(look.RightTicker);
    yAxis2->setSubTicks(true);
    yAxis2->setTickLength(0, 4);
    yAxis2->setSubTickLength(0, 2);
    yAxis2->setTickLabelFont(ProgramFont(plot.font(), QString::fromLatin1(ValueFontFamily)));
    yAxis2->grid()->setVisible(false);

    look.RightTitle =
        new TVerticalTitle(&plot, plot.axisRect(), QString::fromStdString(Translate(SVTitle)),
                           titleFont, RightTitleReserve);
    look.RightTitle->setLayer(QStringLiteral("axes"));
    plot.plotLayout()->addElement(0, 1, look.RightTitle);

    look.LeftLabelPitch = QFontMetrics(yAxis->tickLabelFont()).height() + LabelGap;
    look.RightLabelPitch = QFontMetrics(yAxis2->tickLabelFont()).height() + LabelGap;
    return look;
}

QCPGraph* AddCountsArea(QCustomPlot& plot) {
    QCPGraph* area = plot.addGraph(plot.xAxis, plot.yAxis);
    area->setName(QString::fromStdString(Translate(CPMTitle)));
    area->setLineStyle(QCPGraph::lsLine);
    area->setPen(Qt::NoPen);
    area->setBrush(WithTransparency(CPMColour, CPMTransparency));
    area->setAntialiased(false);
    area->setAntialiasedFill(false);
    return area;
}

QCPGraph* AddDoseLine(QCustomPlot& plot) {
    QCPGraph* line = plot.addGraph(plot.xAxis, plot.yAxis2);
    line->setName(QString::fromStdString(Translate(SVTitle)));
    line->setLineStyle(QCPGraph::lsLine);
    line->setPen(QPen(WithTransparency(SVColour, SVTransparency), 1));
    line->setBrush(Qt::NoBrush);
    line->setAntialiased(false);
    return line;
}

QCPItemRect* AddFrame(QCustomPlot& plot) {
    return AddOutline(plot, QStringLiteral("axes"), FrameColour);
}

QCPItemRect* AddBand(QCustomPlot& plot) {
    QCPItemRect* band = AddOutline(plot, QStringLiteral("overlay"), BandColour);
    band->setVisible(false);
    return band;
}

} // namespace ostrel
