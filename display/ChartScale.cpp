// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ChartScale.h"

#include <algorithm>
#include <cmath>

namespace ostrel {

namespace {

// Steps are built as mantissa times a power of ten; dividing by an exact
// power of ten keeps 0.05 or 0.25 as close to their decimal value as a
// double allows, which multiplying by 0.01 would not.
double ScaleByPowerOfTen(double mantissa, int exponent) {
    if (exponent >= 0) {
        return mantissa * std::pow(10.0, exponent);
    }
    return mantissa / std::pow(10.0, -exponent);
}

// Guard against giving up on a scale before any sane axis fits: 1000 widenings
// span 250 decades.
constexpr int MaxWidenings = 1000;

} // namespace

TKeyRange AutomaticKeyRange(int count) {
    if (count <= 1) {
        return {-0.5, 0.5};
    }
    return {0.0, static_cast<double>(std::min(count, MaxPointsPerPage) - 1)};
}

TIndexSpan IndicesWithin(TKeyRange range, std::size_t count) {
    // Compared as doubles first: an axis may be panned far beyond any index.
    const double n = static_cast<double>(count);
    const double first = std::clamp(std::ceil(range.Lower), 0.0, n);
    const double end = std::clamp(std::floor(range.Upper) + 1, first, n);
    return {static_cast<std::size_t>(first), static_cast<std::size_t>(end)};
}

double NextLabelStep(double step) {
    const int exponent = static_cast<int>(std::floor(std::log10(step) + 1e-9));
    const double mantissa = step / ScaleByPowerOfTen(1.0, exponent);
    if (mantissa < 1.5) {
        return ScaleByPowerOfTen(2.0, exponent);
    }
    if (mantissa < 2.25) {
        return ScaleByPowerOfTen(2.5, exponent);
    }
    if (mantissa < 3.75) {
        return ScaleByPowerOfTen(5.0, exponent);
    }
    return ScaleByPowerOfTen(1.0, exponent + 1);
}

double RoundUpToStep(double value, double step) {
    const double quotient = value / step;
    // A value computed as 3 * 0.05 may land a hair above the multiple; it
    // still counts as the multiple.
    const double slack = 1e-9 * std::max(1.0, std::fabs(quotient));
    return std::ceil(quotient - slack) * step;
}

TValueScale ChooseValueScale(std::optional<double> largest, double baseStep, int axisHeight,
                             int labelPitch) {
    if (!largest || !std::isfinite(*largest) || *largest <= 0) {
        return {baseStep, baseStep};
    }
    double step = baseStep;
    for (int widening = 0; widening < MaxWidenings; ++widening) {
        const double top = RoundUpToStep(*largest, step);
        const double intervals = std::round(top / step);
        if (axisHeight <= 0 || intervals <= 1 || intervals * labelPitch <= axisHeight) {
            return {step, top};
        }
        step = NextLabelStep(step);
    }
    return {step, RoundUpToStep(*largest, step)};
}

QString FormatGroupedFixed(double value, int decimals, const QString& decimalPoint,
                           const QString& groupSeparator) {
    const QString digits = QString::number(std::fabs(value), 'f', decimals);
    const qsizetype point = digits.indexOf(QLatin1Char('.'));
    const QString whole = point < 0 ? digits : digits.left(point);
    QString result;
    for (qsizetype k = 0; k < whole.size(); ++k) {
        if (k > 0 && (whole.size() - k) % 3 == 0) {
            result += groupSeparator;
        }
        result += whole[k];
    }
    if (point >= 0) {
        result += decimalPoint + digits.mid(point + 1);
    }
    // A value that rounds to zero is written without a sign, as "0.00".
    const bool roundsToZero = std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return !c.isDigit() || c == QLatin1Char('0');
    });
    if (value < 0 && !roundsToZero) {
        result.prepend(QLatin1Char('-'));
    }
    return result;
}

} // namespace ostrel
