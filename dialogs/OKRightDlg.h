// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dialog of the settings command: the chart's coefficient and background
// and the counter's own pair, shown and confirmed as four texts.

#include "platform/FormatSettings.h"
#include "platform/Translation.h"

#include <QDialog>

#include <cstdint>

class QKeyEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QShowEvent;

namespace ostrel {

inline constexpr const char* OKRightDlgCaption = OSTREL_TR("Ostrel", "各種設定");

class TOKRightDlg : public QDialog {
    Q_OBJECT

public:
    explicit TOKRightDlg(TFormatSettings formatSettings = SystemFormatSettings(),
                         QWidget* parent = nullptr);

    // Filled by the caller before the dialog opens, read after it closed.
    double GraphCoefficient = 0;
    std::int32_t GraphBackground = 0;
    std::uint16_t DeviceCoefficient = 0;
    std::uint16_t DeviceBackground = 0;

    // The four value fields into the four edits; runs on every opening.
    void FormShow();
    // Parses all four edits; only when all parse, stores them and ends the
    // dialog with Accepted. Otherwise nothing happens and the dialog stays.
    void OKBtnClick();
    // How much wider than drawn the dialog is, so that its labels fit.
    double HorizontalScale() const { return Scale; }

    // Centres the dialog on the screen before each opening.
    void setVisible(bool visible) override;

    // Made in tab order, OKBtn first, so that it holds the focus on opening.
    QPushButton* const OKBtn;
    QLabel* const Label1;
    QLineEdit* const Edit1;
    QLabel* const Label2;
    QLineEdit* const Edit2;
    QLabel* const Label3;
    QLineEdit* const Edit3;
    QLabel* const Label4;
    QLineEdit* const Edit4;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void CentreOnScreen();
    void FitLabels();
    int Scaled(int x) const;
    double Scale = 1.0;

    TFormatSettings Fs;
};

} // namespace ostrel
