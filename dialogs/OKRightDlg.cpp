// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/OKRightDlg.h"

#include "platform/TextServices.h"
#include "platform/Translation.h"
#include "settings/DeviceCoefficient.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>

#include <algorithm>
#include <cmath>
#include <initializer_list>
#include <string>
#include <utility>

namespace ostrel {

namespace {

constexpr QSize ClientSize(330, 112);

// Fixed frame with a close button only: no minimise, maximise or help button.
constexpr Qt::WindowFlags DialogFlags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                                        Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                                        Qt::MSWindowsFixedSizeDialogHint;

template <typename TWidget> TWidget* Place(TWidget* widget, const QRect& geometry) {
    widget->setGeometry(geometry);
    return widget;
}

// A text of the program's own in the user's language.
QString Tr(const char* text) {
    return QString::fromStdString(Translate(text));
}

QLabel* MakeLabel(QWidget* parent, const char* text, const QRect& geometry) {
    return Place(new QLabel(Tr(text), parent), geometry);
}

QLineEdit* MakeEdit(QWidget* parent, const QRect& geometry) {
    return Place(new QLineEdit(parent), geometry);
}

QString ToQString(const std::string& text) {
    return QString::fromStdString(text);
}

std::string TextOf(const QLineEdit* edit) {
    return edit->text().toStdString();
}

} // namespace

TOKRightDlg::TOKRightDlg(TFormatSettings formatSettings, QWidget* parent)
    : QDialog(parent, DialogFlags),
      OKBtn(Place(new QPushButton(Tr(OSTREL_TR("Ostrel", "確定")), this), QRect(124, 70, 81, 27))),
      Label1(MakeLabel(this, OSTREL_TR("Ostrel", "グラフ係数"), QRect(8, 11, 49, 13))),
      Edit1(MakeEdit(this, QRect(63, 8, 90, 21))),
      Label2(MakeLabel(this, OSTREL_TR("Ostrel", "バックグラウンド"), QRect(160, 11, 69, 13))),
      Edit2(MakeEdit(this, QRect(235, 8, 87, 21))),
      Label3(MakeLabel(this, OSTREL_TR("Ostrel", "本体係数"), QRect(8, 38, 48, 13))),
      Edit3(MakeEdit(this, QRect(63, 35, 90, 21))),
      Label4(MakeLabel(this, OSTREL_TR("Ostrel", "バックグラウンド"), QRect(160, 38, 69, 13))),
      Edit4(MakeEdit(this, QRect(235, 35, 87, 21))), Fs(std::move(formatSettings)) {
    setWindowTitle(Tr(OKRightDlgCaption));
    FitLabels();
    OKBtn->setDefault(true);
    setTabOrder(OKBtn, Edit1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    setTabOrder(Edit3, Edit4);
    connect(OKBtn, &QPushButton::clicked, this, &TOKRightDlg::OKBtnClick);
}

// The positions were drawn for a narrow Windows font; where this font writes
// a label wider than its place, the whole dialog widens by the same factor so
// no label is cut and the controls keep their arrangement.
void TOKRightDlg::FitLabels() {
    const QFontMetrics metrics(font());
    double scale = 1.0;
    for (const QLabel* label : {Label1, Label2, Label3, Label4}) {
        const int needed = metrics.horizontalAdvance(label->text()) + 2;
        scale = std::max(scale, static_cast<double>(needed) / label->width());
    }
    Scale = scale;
    for (QWidget* widget : std::initializer_list<QWidget*>{OKBtn, Label1, Edit1, Label2, Edit2,
                                                           Label3, Edit3, Label4, Edit4}) {
        const QRect r = widget->geometry();
        widget->setGeometry(Scaled(r.left()), r.top(), Scaled(r.right() + 1) - Scaled(r.left()),
                            r.height());
    }
    setFixedSize(Scaled(ClientSize.width()), ClientSize.height());
}

int TOKRightDlg::Scaled(int x) const {
    return static_cast<int>(std::lround(x * Scale));
}

void TOKRightDlg::FormShow() {
    Edit1->setText(ToQString(FloatToStr(GraphCoefficient, Fs)));
    Edit2->setText(ToQString(FormatInt(GraphBackground)));
    Edit3->setText(ToQString(DeviceCoefficientText(DeviceCoefficient, Fs)));
    Edit4->setText(ToQString(FormatUInt16(DeviceBackground)));
}

void TOKRightDlg::OKBtnClick() {
    // A text that does not parse is dropped without a word: the user sees it
    // still standing in the open dialog and corrects it or closes.
    const auto coefficient = TryStrToFloat(TextOf(Edit1), Fs);
    if (!coefficient) {
        return;
    }
    const auto background = TryStrToInt(TextOf(Edit2));
    if (!background) {
        return;
    }
    const auto deviceCoefficient = TryDeviceCoefficient(TextOf(Edit3), Fs);
    if (!deviceCoefficient) {
        return;
    }
    const auto deviceBackground = TryStrToInt(TextOf(Edit4));
    if (!deviceBackground) {
        return;
    }
    GraphCoefficient = *coefficient;
    GraphBackground = *background;
    DeviceCoefficient = *deviceCoefficient;
    DeviceBackground = static_cast<std::uint16_t>(*deviceBackground); // low 16 bits
    accept();
}

void TOKRightDlg::setVisible(bool visible) {
    if (visible && !isVisible()) {
        CentreOnScreen();
    }
    QDialog::setVisible(visible);
}

void TOKRightDlg::showEvent(QShowEvent* event) {
    FormShow();
    OKBtn->setFocus();
    QDialog::showEvent(event);
}

void TOKRightDlg::keyPressEvent(QKeyEvent* event) {
    // No cancel button, so Escape must not cancel either; only the title
    // bar's close button does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TOKRightDlg::CentreOnScreen() {
    const QScreen* const target = screen();
    if (target == nullptr) {
        return;
    }
    // The native window must exist for the frame's size to be known.
    create();
    QRect frame = frameGeometry();
    frame.moveCenter(target->geometry().center());
    move(frame.topLeft());
}

} // namespace ostrel
