// SPDX-License-Identifier: GPL-3.0-or-later
// The program as main() runs it, which prints the captions of its menus and
// the titles of its chart axes once the window is shown, then closes it: a
// test reads in which language the program speaks.

#include "app/MainForm.h"
#include "app/Program.h"
#include "display/Chart.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>

#include <iostream>

int main(int argc, char** argv) {
    return ostrel::RunProgram(argc, argv, [](ostrel::TMainForm& form) {
        for (QAction* top : form.menuBar()->actions()) {
            std::cout << top->text().toStdString();
            for (QAction* item : top->menu()->actions()) {
                if (!item->isSeparator()) {
                    std::cout << "|" << item->text().toStdString();
                }
            }
            std::cout << "\n";
        }
        std::cout << form.Chart().yAxis->label().toStdString() << "|"
                  << form.Chart().RightTitle().toStdString() << std::endl;
        QTimer::singleShot(0, &form, [&form] { form.close(); });
    });
}
