// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/Chart.h"

#include "display/ChartScale.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLocale>

#include <algorithm>
#include <cmath>
#include <limits>

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

constexpr double LeftIncrement = 5;
constexpr double RightIncrement = 0.05;
constexpr int RightMinorTicks = 4;
constexpr int RightTitleReserve = 9;
// Labels closer than their own height plus this would touch.
constexpr int LabelGap = 2;

const char* const CPMTitle = "CPM";
const char* const SVTitle = "uSv/ h";
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

// Reports whether the axis changed: other labels may need another width, and
// so another layout.
bool ApplyScale(QCPAxis* axis, QCPAxisTickerFixed& ticker, const TValueScale& scale) {
    const bool changed = ticker.tickStep() != scale.Step || axis->range().lower != 0 ||
                         axis->range().upper != scale.Maximum;
    ticker.setTickStep(scale.Step);
    axis->setRange(0, scale.Maximum);
    return changed;
}

} // namespace

// Value labels at a step the chart chooses, written in the program's own
// number patterns rather than QCustomPlot's.
class TValueTicker : public QCPAxisTickerFixed {
public:
    TValueTicker(int decimals, bool grouped, int minorTicks)
        : Decimals(decimals), MinorTicks(minorTicks) {
        const QLocale locale = QLocale::system();
        DecimalPoint = locale.decimalPoint();
        GroupSeparator = grouped ? locale.groupSeparator() : QString();
        setScaleStrategy(ssNone);
    }

protected:
    int getSubTickCount(double) override { return MinorTicks; }
    QString getTickLabel(double tick, const QLocale&, QChar, int) override {
        return FormatGroupedFixed(tick, Decimals, DecimalPoint, GroupSeparator);
    }

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
    TVerticalTitle(QCustomPlot* plot, QCPAxisRect* beside, QString text, QFont font, int reserve)
        : QCPLayoutElement(plot), Beside(beside), Text(std::move(text)), Font(std::move(font)),
          Reserve(reserve) {}

    QString TitleText() const { return Text; }
    QFont TitleFont() const { return Font; }

    QSize minimumOuterSizeHint() const override { return {Width(), 0}; }
    QSize maximumOuterSizeHint() const override { return {Width(), QWIDGETSIZE_MAX}; }

protected:
    void draw(QCPPainter* painter) override {
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

private:
    int Width() const { return std::max(Reserve, QFontMetrics(Font).height()); }

    QCPAxisRect* Beside;
    QString Text;
    QFont Font;
    int Reserve;
};

// ---- TChartSeries ----

TChartSeries::TChartSeries(TChart& chart, QCPGraph* graph)
    : Owner(chart), Drawing(graph), Data(graph->data()) {}

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

// ---- TChart ----

TChart::TChart(QWidget* parent) : QCustomPlot(parent) {
    setObjectName(QStringLiteral("Chart"));
    // left, top, right, bottom
    plotLayout()->setMargins(QMargins(5, 10, 10, 5));
    plotLayout()->setAutoMargins(QCP::msNone);
    legend->setVisible(false);
    SetUpAxes();
    SetUpSeries();
    SetUpFrameAndBand();
    UpdateKeyRange();
    UpdateValueRanges();
}

TChart::~TChart() = default;

QString TChart::RightTitle() const {
    return RightTitleElement->TitleText();
}

QFont TChart::RightTitleFont() const {
    return RightTitleElement->TitleFont();
}

void TChart::SetUpAxes() {
    const QFont titleFont = ProgramFont(font(), QString::fromLatin1(TitleFontFamily));
    // The frame item draws the plot area's border on all four sides.
    for (QCPAxis* axis : {xAxis, yAxis, yAxis2}) {
        axis->setBasePen(Qt::NoPen);
        axis->grid()->setZeroLinePen(Qt::NoPen);
        axis->grid()->setSubGridVisible(false);
    }
    xAxis2->setVisible(false);

    LabelTicker = QSharedPointer<QCPAxisTickerText>::create();
    LabelTicker->setSubTickCount(0);
    xAxis->setTicker(LabelTicker);
    xAxis->setSubTicks(false);
    xAxis->setTickLength(0, 5);
    xAxis->setTickLabelRotation(-90);
    xAxis->grid()->setPen(DottedPen(LabelGridColour));

    LeftTicker = QSharedPointer<TValueTicker>::create(0, false, 0);
    yAxis->setTicker(LeftTicker);
    yAxis->setSubTicks(false);
    yAxis->setTickLength(0, 2);
    yAxis->setLabel(QString::fromLatin1(CPMTitle));
    yAxis->setLabelFont(titleFont);
    yAxis->grid()->setPen(DottedPen(ValueGridColour));

    RightTicker = QSharedPointer<TValueTicker>::create(2, true, RightMinorTicks);
    yAxis2->setVisible(true);
    yAxis2->setTicker(RightTicker);
    yAxis2->setSubTicks(true);
    yAxis2->setTickLength(0, 4);
    yAxis2->setSubTickLength(0, 2);
    yAxis2->setTickLabelFont(ProgramFont(font(), QString::fromLatin1(ValueFontFamily)));
    yAxis2->grid()->setVisible(false);

    RightTitleElement = new TVerticalTitle(this, axisRect(), QString::fromLatin1(SVTitle),
                                           titleFont, RightTitleReserve);
    RightTitleElement->setLayer(QStringLiteral("axes"));
    plotLayout()->addElement(0, 1, RightTitleElement);

    LeftLabelPitch = QFontMetrics(yAxis->tickLabelFont()).height() + LabelGap;
    RightLabelPitch = QFontMetrics(yAxis2->tickLabelFont()).height() + LabelGap;
}

void TChart::SetUpSeries() {
    QCPGraph* area = addGraph(xAxis, yAxis);
    area->setName(QString::fromLatin1(CPMTitle));
    area->setLineStyle(QCPGraph::lsLine);
    area->setPen(Qt::NoPen);
    area->setBrush(WithTransparency(CPMColour, CPMTransparency));
    area->setAntialiased(false);
    area->setAntialiasedFill(false);

    QCPGraph* line = addGraph(xAxis, yAxis2);
    line->setName(QString::fromLatin1(SVTitle));
    line->setLineStyle(QCPGraph::lsLine);
    line->setPen(QPen(WithTransparency(SVColour, SVTransparency), 1));
    line->setBrush(Qt::NoBrush);
    line->setAntialiased(false);

    CPM = std::make_unique<TChartSeries>(*this, area);
    SV = std::make_unique<TChartSeries>(*this, line);
}

void TChart::SetUpFrameAndBand() {
    Frame = new QCPItemRect(this);
    Frame->setLayer(QStringLiteral("axes"));
    Frame->setClipToAxisRect(false);
    Frame->setSelectable(false);
    Frame->setAntialiased(false);
    Frame->setPen(QPen(QColor(FrameColour), 1));
    Frame->setBrush(Qt::NoBrush);

    Band = new QCPItemRect(this);
    Band->setLayer(QStringLiteral("overlay"));
    Band->setClipToAxisRect(false);
    Band->setSelectable(false);
    Band->setAntialiased(false);
    Band->setPen(QPen(QColor(BandColour), 1));
    Band->setBrush(Qt::NoBrush);
    Band->setVisible(false);

    for (QCPItemRect* item : {Frame, Band}) {
        item->topLeft->setType(QCPItemPosition::ptAbsolute);
        item->bottomRight->setType(QCPItemPosition::ptAbsolute);
    }
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
    if (UpdateDepth > 0) {
        return;
    }
    UpdateKeyRange();
    UpdateValueRanges();
    replot(rpQueuedReplot);
}

void TChart::LabelAdded(const TChartSeries& series, int index, const QString& label) {
    // Where both series label one point, the counts series' label is shown.
    if (&series == CPM.get() || !LabelTicker->ticks().contains(index)) {
        LabelTicker->addTick(index, label);
    }
}

void TChart::SeriesCleared() {
    LabelTicker->clear();
    for (const TChartSeries* series : {SV.get(), CPM.get()}) {
        for (const auto& [index, label] : series->Labels()) {
            LabelTicker->addTick(index, label);
        }
    }
}

void TChart::BeginUpdate() {
    ++UpdateDepth;
}

void TChart::EndUpdate() {
    if (UpdateDepth > 0 && --UpdateDepth == 0) {
        SeriesChanged();
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
        ChooseValueScale(CPM->Maximum(), LeftIncrement, height, LeftLabelPitch);
    const TValueScale right =
        ChooseValueScale(SV->Maximum(), RightIncrement, height, RightLabelPitch);
    const bool leftChanged = ApplyScale(yAxis, *LeftTicker, left);
    const bool rightChanged = ApplyScale(yAxis2, *RightTicker, right);
    return leftChanged || rightChanged;
}

void TChart::UndoZoom() {
    AutomaticView = true;
    UpdateKeyRange();
    replot(rpQueuedReplot);
}

double TChart::PixelToKey(double x) const {
    return xAxis->pixelToCoord(x);
}

void TChart::ShowBand(int fromX, int toX, int y0, int y1) {
    Band->topLeft->setCoords(std::min(fromX, toX), std::min(y0, y1));
    Band->bottomRight->setCoords(std::max(fromX, toX), std::max(y0, y1));
    Band->setVisible(true);
    replot(rpQueuedReplot);
}

void TChart::mousePressEvent(QMouseEvent* event) {
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (Drag != TDrag::None || !axisRect()->rect().contains(pos)) {
        return;
    }
    if (event->button() == Qt::LeftButton) {
        Drag = TDrag::Pan;
        DragStartRange = xAxis->range();
    } else if (event->button() == Qt::RightButton) {
        Drag = TDrag::Zoom;
    } else {
        return;
    }
    DragStart = pos;
}

void TChart::mouseDoubleClickEvent(QMouseEvent* event) {
    mousePressEvent(event);
}

void TChart::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (Drag == TDrag::Pan) {
        PanTo(pos.x());
    } else if (Drag == TDrag::Zoom) {
        ShowBand(DragStart.x(), pos.x(), DragStart.y(), pos.y());
    }
}

void TChart::mouseReleaseEvent(QMouseEvent* event) {
    event->accept();
    const QPoint pos = event->position().toPoint();
    if (Drag == TDrag::Pan && event->button() == Qt::LeftButton) {
        PanTo(pos.x());
        Drag = TDrag::None;
    } else if (Drag == TDrag::Zoom && event->button() == Qt::RightButton) {
        Band->setVisible(false);
        FinishZoom(pos.x());
        Drag = TDrag::None;
        replot(rpQueuedReplot);
    }
}

void TChart::wheelEvent(QWheelEvent* event) {
    // The chart has no wheel zoom.
    event->accept();
}

void TChart::PanTo(int x) {
    const int dx = x - DragStart.x();
    const int width = axisRect()->rect().width();
    if (dx == 0 || width <= 0) {
        return;
    }
    const double shift = -dx * DragStartRange.size() / width;
    xAxis->setRange(DragStartRange.lower + shift, DragStartRange.upper + shift);
    AutomaticView = false;
    replot(rpQueuedReplot);
}

void TChart::FinishZoom(int x) {
    const int dx = x - DragStart.x();
    if (dx < -ZoomThreshold) {
        UndoZoom();
        return;
    }
    if (dx <= ZoomThreshold) {
        return;
    }
    const QRect area = axisRect()->rect();
    const int from = std::clamp(DragStart.x(), area.left(), area.right());
    const int to = std::clamp(x, area.left(), area.right());
    if (to <= from) {
        return;
    }
    xAxis->setRange(PixelToKey(from), PixelToKey(to));
    AutomaticView = false;
}

} // namespace ostrel
