// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The real logger without a window, run as a user runs it (`ostrel
// --headless`) from a folder of its own (so that its settings file is the
// test's) with the simulated counter beside it and no display, its lines
// read as it prints them.

#include <QProcess>
#include <QProcessEnvironment>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <vector>

namespace ostrel::test {

class THeadlessProcess {
public:
    // Copies the programs (and, unless withoutLibrary, the simulator) into
    // folder, and starts `ostrel --headless` there with stateHome as
    // XDG_STATE_HOME, the script replayed (none: the simulator counts at
    // random), args, and the variables of more.
    THeadlessProcess(const std::filesystem::path& folder, const std::filesystem::path& stateHome,
                     const std::filesystem::path& script, const QStringList& args = {},
                     bool withoutLibrary = false,
                     const QProcessEnvironment& more = QProcessEnvironment()) {
        namespace fs = std::filesystem;
        const fs::path bin = OSTREL_BIN_DIR;
        fs::create_directories(folder);
        for (const char* program : {"ostrel", "ostrel-headless"}) {
            fs::copy_file(bin / program, folder / program, fs::copy_options::overwrite_existing);
        }
        if (!withoutLibrary) {
            fs::copy_file(bin / "libPexlar.so", folder / "libPexlar.so",
                          fs::copy_options::overwrite_existing);
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.remove("QT_QPA_PLATFORM");
        // The program's own texts, which the tests look for.
        environment.insert("LANGUAGE", "ja");
        environment.insert("XDG_STATE_HOME", QString::fromStdString(stateHome.string()));
        if (!script.empty()) {
            environment.insert("OSTREL_SIM_SCRIPT", QString::fromStdString(script.string()));
        }
        environment.insert(more);
        Process.setProcessEnvironment(environment);
        Process.setWorkingDirectory(QString::fromStdString(folder.string()));
        Process.start(QString::fromStdString((folder / "ostrel").string()),
                      QStringList{"--headless"} + args);
    }
    ~THeadlessProcess() {
        if (Process.state() != QProcess::NotRunning) {
            Process.kill();
            Process.waitForFinished();
        }
    }

    // The lines printed so far, once there are at least n; fewer when the
    // program ends first or nothing comes for a long while.
    std::vector<std::string> WaitForLines(std::size_t n) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (Lines.size() < n && std::chrono::steady_clock::now() < deadline) {
            if (Process.canReadLine() || Process.waitForReadyRead(1000)) {
                while (Process.canReadLine()) {
                    Lines.push_back(Process.readLine().trimmed().toStdString());
                }
            } else if (Process.state() == QProcess::NotRunning) {
                break;
            }
        }
        return Lines;
    }
    // Sends the signal and waits for the end: the exit status, or -1 for a
    // program that a signal ended.
    int End(int signal) {
        ::kill(static_cast<pid_t>(Process.processId()), signal);
        return Finish();
    }
    int Finish() {
        EXPECT_TRUE(Process.waitForFinished(60000));
        return Process.exitStatus() == QProcess::NormalExit ? Process.exitCode() : -1;
    }
    std::string Error() { return Process.readAllStandardError().toStdString(); }
    QProcess& Raw() { return Process; }

private:
    QProcess Process;
    std::vector<std::string> Lines;
};

} // namespace ostrel::test
