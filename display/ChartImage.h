// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The chart as it is shown, made into the bytes of an image file. Writing
// them to the chosen file is the files layer's work.

#include <QByteArray>
#include <QString>

class QCustomPlot;

namespace ostrel {

enum class TChartImageFormat { Png, Png2x, Pdf, Svg };

// Whether this build can make SVG (a Qt without its Svg module cannot).
bool CanMakeSvg();

// The chart at its size on the screen (Png2x: twice as many pixels each
// way), as a PNG, PDF or SVG (only where CanMakeSvg) file holds it. Empty,
// with the system's reason in error, when it could not be made.
QByteArray ChartImageBytes(QCustomPlot& chart, TChartImageFormat format, QString& error);

} // namespace ostrel
