// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ChartTip.h"

#include "display/ChartScale.h"
#include "platform/TextServices.h"

#include <QStringList>

namespace ostrel {

namespace {

QString Tr(const char* text) {
    return QString::fromStdString(Translate(text));
}

QString Bound(double value, const TFormatSettings& fs) {
    return FormatGroupedFixed(value, 1, QString::fromStdString(fs.DecimalSeparator), QString());
}

} // namespace

QString PointTipText(std::string_view time, std::int64_t count, std::optional<TTipBounds> bounds,
                     std::optional<double> doseRate, const TFormatSettings& fs) {
    QStringList lines;
    if (!time.empty()) {
        lines << QString::fromUtf8(time.data(), static_cast<qsizetype>(time.size()));
    }
    if (bounds) {
        lines << Tr(TipCountIntervalText)
                     .arg(count)
                     .arg(Bound(bounds->Lower, fs), Bound(bounds->Upper, fs));
    } else {
        lines << Tr(TipCountText).arg(count);
    }
    if (doseRate) {
        lines << Tr(TipDoseRateText).arg(QString::fromStdString(FloatToStr(*doseRate, fs)));
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace ostrel
