// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileDialogChooser.h"

#include <QFileDialog>
#include <QRegularExpression>

#include <algorithm>

namespace ostrel {

namespace {

std::optional<std::string> Run(QWidget* parent, QFileDialog::AcceptMode mode,
                               const std::string& preset) {
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromStdString(Translate(CsvFileFilter)));
    dialog.setDefaultSuffix(QString::fromUtf8(CsvDefaultSuffix));
    if (!preset.empty()) {
        dialog.selectFile(QString::fromStdString(preset));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().constFirst().toStdString();
}

} // namespace

std::optional<TChosenFile>
TFileDialogChooser::ChooseExportFile(const std::string& preset,
                                     const std::vector<std::string>& filters) {
    QStringList names;
    for (const std::string& filter : filters) {
        names << QString::fromStdString(filter);
    }
    QFileDialog dialog(Parent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilters(names);
    // The extension of "... (*.png)".
    const auto suffixOf = [](const QString& filter) {
        return QRegularExpression(QStringLiteral("\\(\\*\\.(\\w+)")).match(filter).captured(1);
    };
    dialog.setDefaultSuffix(suffixOf(names.value(0)));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&](const QString& filter) { dialog.setDefaultSuffix(suffixOf(filter)); });
    if (!preset.empty()) {
        dialog.selectFile(QString::fromStdString(preset));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const auto filter = std::max<qsizetype>(0, names.indexOf(dialog.selectedNameFilter()));
    return TChosenFile{dialog.selectedFiles().constFirst().toStdString(),
                       static_cast<std::size_t>(filter)};
}

std::optional<std::string> TFileDialogChooser::ChooseOpenFile(const std::string& preset) {
    return Run(Parent, QFileDialog::AcceptOpen, preset);
}

std::optional<std::string> TFileDialogChooser::ChooseSaveFile(const std::string& preset) {
    return Run(Parent, QFileDialog::AcceptSave, preset);
}

} // namespace ostrel
