// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The Analysis menu's exports: the chart as an image, minutes as CSV. Each
// asks for a file, then has the display or the files layer make and write
// it; a failure throws EFileError with the texts of a failed log save.

#include "files/LogFileCommands.h"
#include "files/MinuteExport.h"
#include "platform/Translation.h"

class QCustomPlot;

namespace ostrel {

inline constexpr const char* PngFileFilter = OSTREL_TR("Ostrel", "PNG画像 (*.png)");
inline constexpr const char* Png2xFileFilter = OSTREL_TR("Ostrel", "PNG画像、2倍の大きさ (*.png)");
inline constexpr const char* PdfFileFilter = OSTREL_TR("Ostrel", "PDF文書 (*.pdf)");
inline constexpr const char* SvgFileFilter = OSTREL_TR("Ostrel", "SVG画像 (*.svg)");

// Offers PNG, PNG at twice the size, PDF and (where the build makes it)
// SVG, and writes the chart as it is shown in the format chosen.
void SaveChartImage(TFileChooser& chooser, QCustomPlot& chart);

// Offers CSV and writes the minutes to the file chosen.
void ExportMinutes(TFileChooser& chooser, const TMinuteExport& minutes);

} // namespace ostrel
