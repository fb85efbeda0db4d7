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

QString Bound(double value, int decimals, const TFormatSettings& fs) {
    return FormatGroupedFixed(value, decimals, QString::fromStdString(fs.DecimalSeparator),
                              QString());
}

} // namespace

QString PointTipText(std::string_view time, std::int64_t count, std::optional<TTipBounds> bounds,
                     std::optional<double> doseRate, std::optional<TTipBounds> doseRateBounds,
                     const TFormatSettings& fs) {
    QStringList lines;
    if (!time.empty()) {
        lines << QString::fromUtf8(time.data(), static_cast<qsizetype>(time.size()));
    }
    if (bounds) {
        lines << Tr(TipCountIntervalText)
                     .arg(count)
                     .arg(Bound(bounds->Lower, 1, fs), Bound(bounds->Upper, 1, fs));
    } else {
        lines << Tr(TipCountText).arg(count);
    }
    if (doseRate) {
        const QString rate = QString::fromStdString(FloatToStr(*doseRate, fs));
        if (doseRateBounds) {
            lines << Tr(TipDoseRateIntervalText)
                         .arg(rate)
                         .arg(Bound(doseRateBounds->Lower, 4, fs),
                              Bound(doseRateBounds->Upper, 4, fs));
        } else {
            lines << Tr(TipDoseRateText).arg(rate);
        }
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace ostrel
