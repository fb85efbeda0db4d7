// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ChartExports.h"

#include "app/FileDialogChooser.h"
#include "display/ChartImage.h"
#include "files/FileErrors.h"
#include "files/LogFileWriter.h"
#include "platform/Exceptions.h"

#include <string_view>
#include <utility>
#include <vector>

namespace ostrel {

void SaveChartImage(TFileChooser& chooser, QCustomPlot& chart) {
    std::vector<std::pair<const char*, TChartImageFormat>> offered = {
        {PngFileFilter, TChartImageFormat::Png},
        {Png2xFileFilter, TChartImageFormat::Png2x},
        {PdfFileFilter, TChartImageFormat::Pdf},
    };
    if (CanMakeSvg()) {
        offered.emplace_back(SvgFileFilter, TChartImageFormat::Svg);
    }
    std::vector<std::string> filters;
    for (const auto& [filter, format] : offered) {
        filters.push_back(Translate(filter));
    }
    const std::optional<TChosenFile> chosen = chooser.ChooseExportFile("", filters);
    if (!chosen) {
        return;
    }
    QString error;
    const QByteArray bytes = ChartImageBytes(chart, offered.at(chosen->Filter).second, error);
    if (bytes.isEmpty()) {
        throw EFileError(FileErrorText(CannotCreateFileText, chosen->Path, error.toStdString()));
    }
    WriteFileBytes(chosen->Path,
                   std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

void ExportMinutes(TFileChooser& chooser, const TMinuteExport& minutes) {
    const std::optional<TChosenFile> chosen =
        chooser.ChooseExportFile("", {Translate(CsvFileFilter)});
    if (chosen) {
        WriteMinuteCsv(chosen->Path, minutes);
    }
}

} // namespace ostrel
