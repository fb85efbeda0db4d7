// SPDX-License-Identifier: GPL-3.0-or-later
#include "analysis/StatisticsWindow.h"

#include "platform/TextServices.h"
#include "stats/CountStatistics.h"

#include <QClipboard>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <qcustomplot.h>

#include <array>
#include <charconv>
#include <string>

namespace ostrel {
namespace {

// A text of the program's own in the user's language.
QString Tr(const char* text) {
    return QString::fromStdString(Translate(text));
}

// The value with the given number of decimals and the locale's separator.
QString Fixed(double value, int decimals, const TFormatSettings& fs) {
    std::array<char, 64> buffer;
    const auto end = std::to_chars(buffer.data(), buffer.data() + buffer.size(), value,
                                   std::chars_format::fixed, decimals)
                         .ptr;
    std::string text(buffer.data(), end);
    if (const std::size_t point = text.find('.'); point != std::string::npos) {
        text.replace(point, 1, fs.DecimalSeparator);
    }
    return QString::fromStdString(text);
}

QString CountAt(std::int32_t count, TDateTime time, const TFormatSettings& fs) {
    return QString::fromStdString(FormatInt(count) + " (" +
                                  FormatDateTime(MinuteTextPattern, time, fs) + ")");
}

QString Optional(const std::optional<double>& value, int decimals, const TFormatSettings& fs) {
    return value ? Fixed(*value, decimals, fs) : QStringLiteral("-");
}

std::vector<std::pair<QString, QString>> FiguresOf(const TSpanStatistics& s,
                                                   const TFormatSettings& fs) {
    std::vector<std::pair<QString, QString>> figures = {
        {Tr(OSTREL_TR("Ostrel", "分の数")), QString::number(s.Minutes)},
        {Tr(OSTREL_TR("Ostrel", "合計カウント")), QString::number(s.TotalCount)},
        {Tr(OSTREL_TR("Ostrel", "平均 (CPM)")), Fixed(s.MeanCount, 2, fs)},
    };
    if (s.MeanInterval) {
        figures.emplace_back(Tr(OSTREL_TR("Ostrel", "平均の95%区間 (CPM)")),
                             Fixed(s.MeanInterval->Lower, 2, fs) + " - " +
                                 Fixed(s.MeanInterval->Upper, 2, fs));
    }
    QString median = Fixed(s.Median, s.Median == static_cast<std::int64_t>(s.Median) ? 0 : 1, fs);
    if (s.MedianTime) {
        median = CountAt(static_cast<std::int32_t>(s.Median), *s.MedianTime, fs);
    }
    figures.insert(
        figures.end(),
        {
            {Tr(OSTREL_TR("Ostrel", "中央値")), median},
            {Tr(OSTREL_TR("Ostrel", "最小")), CountAt(s.Minimum.Count, s.Minimum.Time, fs)},
            {Tr(OSTREL_TR("Ostrel", "最大")), CountAt(s.Maximum.Count, s.Maximum.Time, fs)},
            {Tr(OSTREL_TR("Ostrel", "標準偏差")), Optional(s.StandardDeviation, 3, fs)},
            {Tr(OSTREL_TR("Ostrel", "√平均")), Fixed(s.RootMean, 3, fs)},
            {Tr(OSTREL_TR("Ostrel", "標準偏差 / √平均")), Optional(s.SpreadRatio, 3, fs)},
        });
    if (!s.Fit) {
        figures.emplace_back(Tr(OSTREL_TR("Ostrel", "ポアソン分布へのχ²検定")),
                             Tr(OSTREL_TR("Ostrel", "できません (期待度数5以上の階級が3つ未満)")));
        return figures;
    }
    figures.insert(
        figures.end(),
        {
            {Tr(OSTREL_TR("Ostrel", "ポアソン分布へのχ²")), Fixed(s.Fit->Statistic, 2, fs)},
            {Tr(OSTREL_TR("Ostrel", "自由度")), QString::number(s.Fit->DegreesOfFreedom)},
            {Tr(OSTREL_TR("Ostrel", "p値")), Fixed(s.Fit->PValue, 3, fs)},
        });
    return figures;
}

QString SpreadSentence(TSpread spread) {
    switch (spread) {
    case TSpread::AsChance:
        return Tr(OSTREL_TR("Ostrel", "標準偏差は√平均に近く、ばらつきは偶然で生じる程度です。"));
    case TSpread::Above:
        return Tr(OSTREL_TR("Ostrel", "標準偏差が√平均より明らかに大きく、線源が変化したか、"
                                      "計数器が不調の可能性があります。"));
    case TSpread::Below:
        return Tr(OSTREL_TR("Ostrel", "標準偏差が√平均より明らかに小さく、偶然より揃っています。"
                                      "計数器が不調の可能性があります。"));
    case TSpread::Unknown:
        break;
    }
    return Tr(OSTREL_TR("Ostrel", "ばらつきを判断するには、カウントのある2分以上が必要です。"));
}

QCustomPlot* MakeHistogram(const TSpanStatistics& s, QWidget* parent) {
    auto* plot = new QCustomPlot(parent);
    plot->setMinimumSize(420, 240);
    auto* bars = new QCPBars(plot->xAxis, plot->yAxis);
    bars->setName(Tr(OSTREL_TR("Ostrel", "観測")));
    bars->setWidth(0.8);
    QCPGraph* expected = plot->addGraph();
    expected->setName(Tr(OSTREL_TR("Ostrel", "ポアソン分布の期待値")));
    expected->setPen(QPen(Qt::red, 1.5));
    expected->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssDisc, 5));
    for (const THistogramValue& v : s.Histogram) {
        bars->addData(v.Count, static_cast<double>(v.Minutes));
        expected->addData(v.Count, v.Expected);
    }
    plot->xAxis->setLabel(Tr(OSTREL_TR("Ostrel", "カウント/分")));
    plot->yAxis->setLabel(Tr(OSTREL_TR("Ostrel", "分の数")));
    plot->legend->setVisible(true);
    plot->rescaleAxes();
    plot->xAxis->scaleRange(1.1);
    plot->yAxis->setRangeLower(0);
    plot->yAxis->setRangeUpper(plot->yAxis->range().upper * 1.1 + 0.5);
    return plot;
}

} // namespace

void ShowSpanStatistics(QWidget* parent, std::span<const TMinuteRecord> minutes,
                        const TFormatSettings& fs) {
    auto* window = new TStatisticsWindow(minutes, fs, parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->show();
}

TStatisticsWindow::TStatisticsWindow(std::span<const TMinuteRecord> minutes,
                                     const TFormatSettings& fs, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(Tr(StatisticsCaption));
    setModal(false);
    auto* layout = new QVBoxLayout(this);
    if (minutes.empty()) {
        layout->addWidget(new QLabel(Tr(OSTREL_TR("Ostrel", "区間に分がありません。")), this));
        return;
    }
    const TSpanStatistics s = SpanStatistics(minutes);
    Figures = FiguresOf(s, fs);
    auto* grid = new QGridLayout;
    for (int row = 0; const auto& [name, value] : Figures) {
        grid->addWidget(new QLabel(name, this), row, 0);
        auto* shown = new QLabel(value, this);
        shown->setTextInteractionFlags(Qt::TextSelectableByMouse);
        grid->addWidget(shown, row++, 1);
    }
    layout->addLayout(grid);
    auto* sentence = new QLabel(SpreadSentence(s.Spread), this);
    sentence->setWordWrap(true);
    layout->addWidget(sentence);
    layout->addWidget(MakeHistogram(s, this), 1);
    auto* copy = new QPushButton(Tr(OSTREL_TR("Ostrel", "すべてコピー")), this);
    connect(copy, &QPushButton::clicked, this, &TStatisticsWindow::CopyFigures);
    layout->addWidget(copy, 0, Qt::AlignRight);
}

QString TStatisticsWindow::FiguresText() const {
    QString text;
    for (const auto& [name, value] : Figures) {
        text += name + '\t' + value + '\n';
    }
    return text;
}

void TStatisticsWindow::CopyFigures() const {
    QGuiApplication::clipboard()->setText(FiguresText());
}

} // namespace ostrel
