// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileDialogChooser.h"

#include <QFileDialog>

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

std::optional<std::string> TFileDialogChooser::ChooseOpenFile(const std::string& preset) {
    return Run(Parent, QFileDialog::AcceptOpen, preset);
}

std::optional<std::string> TFileDialogChooser::ChooseSaveFile(const std::string& preset) {
    return Run(Parent, QFileDialog::AcceptSave, preset);
}

} // namespace ostrel
