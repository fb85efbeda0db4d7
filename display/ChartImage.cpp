// SPDX-License-Identifier: GPL-3.0-or-later
#include "display/ChartImage.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <qcustomplot.h>

#ifdef OSTREL_SVG
#include <QSvgGenerator>
#endif

namespace ostrel {

namespace {

// QCustomPlot writes PNG and PDF only to a named file: one of the
// temporary folder's, read back and removed.
QByteArray SavedByName(QCustomPlot& chart, TChartImageFormat format, QString& error) {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/ostrel-chart-XXXXXX"));
    if (!file.open()) {
        error = file.errorString();
        return {};
    }
    file.close();
    const QString name = file.fileName();
    const bool saved = format == TChartImageFormat::Pdf
                           ? chart.savePdf(name)
                           : chart.savePng(name, 0, 0, format == TChartImageFormat::Png2x ? 2 : 1);
    QFile written(name);
    if (!saved || !written.open(QIODevice::ReadOnly)) {
        error = written.errorString();
        return {};
    }
    return written.readAll();
}

#ifdef OSTREL_SVG
QByteArray Svg(QCustomPlot& chart, QString& error) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QSvgGenerator svg;
    svg.setOutputDevice(&buffer);
    svg.setSize(chart.size());
    svg.setViewBox(chart.rect());
    QCPPainter painter;
    if (!painter.begin(&svg)) {
        error = buffer.errorString();
        return {};
    }
    chart.toPainter(&painter, chart.width(), chart.height());
    painter.end();
    return buffer.data();
}
#endif

} // namespace

bool CanMakeSvg() {
#ifdef OSTREL_SVG
    return true;
#else
    return false;
#endif
}

QByteArray ChartImageBytes(QCustomPlot& chart, TChartImageFormat format, QString& error) {
    if (format == TChartImageFormat::Svg) {
#ifdef OSTREL_SVG
        return Svg(chart, error);
#else
        error = QStringLiteral("SVG cannot be made here");
        return {};
#endif
    }
    return SavedByName(chart, format, error);
}

} // namespace ostrel
