// SPDX-License-Identifier: GPL-3.0-or-later
#include "dialogs/SetCommand.h"

#include "dialogs/OKRightDlg.h"

#include <QEventLoop>
#include <QMessageBox>

namespace ostrel {

namespace {

void ReadCounterPair(const TSetContext& context) {
    if (context.DeviceId == 0 || context.Counter.GetCoefficient == nullptr) {
        return;
    }
    context.Counter.GetCoefficient(context.DeviceId, &context.DeviceCoefficient,
                                   &context.DeviceBackground);
}

void CopyIntoDialog(const TSetContext& context) {
    TOKRightDlg& dialog = context.Dialog;
    dialog.GraphCoefficient = context.GraphCoefficient;
    dialog.GraphBackground = context.GraphBackground;
    dialog.DeviceCoefficient = context.DeviceCoefficient;
    dialog.DeviceBackground = context.DeviceBackground;
}

void WriteCounterPair(const TSetContext& context) {
    context.DeviceCoefficient = context.Dialog.DeviceCoefficient;
    context.DeviceBackground = context.Dialog.DeviceBackground;
    if (context.Counter.SetCoefficient != nullptr) {
        context.Counter.SetCoefficient(context.DeviceId, context.DeviceCoefficient,
                                       context.DeviceBackground);
    }
}

} // namespace

void SetClick(const TSetContext& context) {
    ReadCounterPair(context);
    CopyIntoDialog(context);
    if (context.Dialog.exec() != QDialog::Accepted) {
        return;
    }
    context.GraphCoefficient = context.Dialog.GraphCoefficient;
    context.GraphBackground = context.Dialog.GraphBackground;
    context.RebuildDisplay();
    if (context.Dialog.DeviceCoefficient == context.DeviceCoefficient &&
        context.Dialog.DeviceBackground == context.DeviceBackground) {
        return;
    }
    if (context.DeviceId != 0) {
        WriteCounterPair(context);
        return;
    }
    context.ShowNotConnected();
}

void ShowNotConnectedMessage() {
    QMessageBox box(QMessageBox::NoIcon, QString::fromStdString(Translate(NotConnectedCaption)),
                    QString::fromStdString(Translate(NotConnectedText)), QMessageBox::Ok);
    // Like a system box without owner: the main window stays usable, and
    // closing it still ends the program.
    box.setWindowModality(Qt::NonModal);
    box.setAttribute(Qt::WA_QuitOnClose, false);
    QEventLoop loop;
    QObject::connect(&box, &QMessageBox::finished, &loop, &QEventLoop::quit);
    box.show();
    loop.exec();
}

} // namespace ostrel
