// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The application object: reports an exception that escapes any event in
// the error box and goes on, and ends in order on a termination request.

#include <QApplication>

namespace ostrel {

class TApplication : public QApplication {
    Q_OBJECT
public:
    TApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // SIGTERM, SIGINT and SIGHUP close any open dialog and end the program as
    // Exit does, so the settings are written and the device library is
    // released (a session ending, or Ctrl+C in a terminal).
    void WatchTerminationSignals();

private:
    void EndOnSignal();
};

} // namespace ostrel
