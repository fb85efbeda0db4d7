// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the main window exactly as main() does and reports on standard
// output when the process entered main() and when the main window's first
// paint was complete, as steady-clock nanoseconds, and (where /proc tells)
// how many shared libraries the process had loaded by then, then closes the
// window as Exit does:
//   main 1234567890
//   painted 1299999999
//   libraries 61
// With --bare it shows a plain window of the main window's size instead: the
// part of the start-up that Qt alone costs. The program itself is unchanged;
// this is a copy of its main() with an eye on the paint events.

#include "app/Application.h"
#include "app/MainForm.h"
#include "dialogs/OKRightDlg.h"

#include <QMetaObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <memory>
#include <optional>
#include <set>
#include <string>

namespace {

using TClock = std::chrono::steady_clock;

// Give up when nothing has been painted by then.
constexpr int PaintTimeoutMs = 20000;

long long Nanoseconds(TClock::time_point at) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(at.time_since_epoch()).count();
}

// The distinct shared library files mapped into this process ("name.so" or
// "name.so.N..."), or none where there is no /proc/self/maps.
std::optional<std::size_t> SharedLibraryCount() {
    std::ifstream maps("/proc/self/maps");
    if (!maps) {
        return std::nullopt;
    }
    std::set<std::string> files;
    std::string line;
    while (std::getline(maps, line)) {
        const std::size_t path = line.find('/');
        if (path == std::string::npos) {
            continue;
        }
        const std::string file = line.substr(path);
        const std::size_t so = file.find(".so", file.rfind('/'));
        if (so != std::string::npos && (so + 3 == file.size() || file[so + 3] == '.')) {
            files.insert(file);
        }
    }
    return files.size();
}

class TProbeApplication : public ostrel::TApplication {
public:
    using TApplication::TApplication;

    // The window whose first paint is awaited; it is closed once that is done.
    void Watch(QWidget* window) { Watched = window; }
    std::optional<TClock::time_point> Painted() const { return PaintedAt; }
    std::optional<std::size_t> Libraries() const { return LibrariesAtPaint; }

    bool notify(QObject* receiver, QEvent* event) override {
        const bool paint = event->type() == QEvent::Paint;
        const bool result = TApplication::notify(receiver, event);
        if (paint && !PaintSeen && IsInWatched(receiver)) {
            PaintSeen = true;
            // The window paints all its widgets within one event; the queued
            // call runs once that event, the whole first paint, is over.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    PaintedAt = TClock::now();
                    LibrariesAtPaint = SharedLibraryCount();
                    if (Watched) {
                        Watched->close();
                    }
                },
                Qt::QueuedConnection);
        }
        return result;
    }

private:
    bool IsInWatched(QObject* receiver) const {
        return Watched && receiver->isWidgetType() &&
               static_cast<QWidget*>(receiver)->window() == Watched;
    }

    QPointer<QWidget> Watched;
    bool PaintSeen = false;
    std::optional<TClock::time_point> PaintedAt;
    std::optional<std::size_t> LibrariesAtPaint;
};

void RunMainWindow(TProbeApplication& app) {
    auto mainForm = std::make_unique<ostrel::TMainForm>(ostrel::TMainForm::DefaultOptions());
    auto settingsDialog = std::make_unique<ostrel::TOKRightDlg>();
    mainForm->SetSettingsDialog(settingsDialog.get());
    app.Watch(mainForm.get());
    mainForm->show();
    app.exec();
    settingsDialog.reset();
    mainForm.reset();
}

void RunBareWindow(TProbeApplication& app) {
    QWidget window;
    window.resize(572, 377);
    app.Watch(&window);
    window.show();
    app.exec();
}

} // namespace

int main(int argc, char** argv) {
    const TClock::time_point entered = TClock::now();
    const bool bare = argc > 1 && std::strcmp(argv[1], "--bare") == 0;
    TProbeApplication app(argc, argv);
    QTimer::singleShot(PaintTimeoutMs, &app, &QCoreApplication::quit);
    try {
        app.WatchTerminationSignals();
        if (bare) {
            RunBareWindow(app);
        } else {
            RunMainWindow(app);
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "start-up failed: %s\n", e.what());
        return 1;
    }
    if (!app.Painted()) {
        std::fprintf(stderr, "no paint within %d ms\n", PaintTimeoutMs);
        return 1;
    }
    std::printf("main %lld\npainted %lld\n", Nanoseconds(entered), Nanoseconds(*app.Painted()));
    if (app.Libraries()) {
        std::printf("libraries %zu\n", *app.Libraries());
    }
    return 0;
}
