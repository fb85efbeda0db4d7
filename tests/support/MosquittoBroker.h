// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A real mosquitto broker on 127.0.0.1 and a free port, started and stopped
// by the test, and a mosquitto_sub that writes what arrives to a file. Every
// wait is bounded; the destructors kill what is still running.

#include "bench/MqttScenario.h"
#include "support/Waits.h"

#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace ostrel::test {

// Runs a command to its end; false when it fails or takes too long.
inline bool RunCommand(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(ProcessWaitMs) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

struct TBrokerOptions {
    bool Tls = false;
    std::string User; // set: only this user with this password gets in
    std::string Password;
};

class TMosquittoBroker {
public:
    explicit TMosquittoBroker(TBrokerOptions options = {}) : Options(std::move(options)) {
        WriteConfig(Folder.path().toStdString());
        Start();
    }
    ~TMosquittoBroker() { Stop(); }
    TMosquittoBroker(const TMosquittoBroker&) = delete;
    TMosquittoBroker& operator=(const TMosquittoBroker&) = delete;

    void Start() {
        // Its own log stays out of the stderr that the tests read.
        Process.setProcessChannelMode(QProcess::MergedChannels);
        Process.setStandardOutputFile(Folder.filePath("mosquitto.log"), QIODevice::Append);
        Process.start("mosquitto", {"-c", Folder.filePath("mosquitto.conf")});
        ASSERT_TRUE(Process.waitForStarted(ProcessWaitMs));
        ASSERT_TRUE(Eventually([this] { return bench::AcceptsOnLoopback(Port); }, WaitLimit))
            << "mosquitto does not listen on 127.0.0.1:" << Port;
    }
    // Orderly, so that it keeps its sessions and retained messages.
    void Stop() {
        if (Process.state() == QProcess::NotRunning) {
            return;
        }
        Process.terminate();
        if (!Process.waitForFinished(ProcessWaitMs)) {
            Process.kill();
            Process.waitForFinished(ProcessWaitMs);
        }
    }

    // What the broker has logged so far: a line per connection it refused,
    // for one.
    std::string Log() const {
        std::ifstream in(Folder.filePath("mosquitto.log").toStdString());
        std::ostringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // What mosquitto_sub and mosquitto_pub need to reach this broker as its
    // user.
    QStringList ClientArguments() const {
        QStringList arguments{"-h", "127.0.0.1", "-p", QString::number(Port)};
        if (Options.Tls) {
            arguments << "--cafile" << QString::fromStdString(CAFile);
        }
        if (!Options.User.empty()) {
            arguments << "-u" << QString::fromStdString(Options.User) << "-P"
                      << QString::fromStdString(Options.Password);
        }
        return arguments;
    }

    const std::uint16_t Port = bench::FreeLoopbackPort();
    std::string CAFile;

private:
    void WriteConfig(const std::filesystem::path& folder) {
        std::ofstream config(folder / "mosquitto.conf");
        // Stays root when started as root, so it reads the files made here.
        config << "user root\nlistener " << Port << " 127.0.0.1\npersistence true\n"
               << "persistence_location " << (folder / "").string() << "\n";
        if (Options.Tls) {
            MakeCertificates(folder);
            config << "cafile " << CAFile << "\ncertfile " << (folder / "server.crt").string()
                   << "\nkeyfile " << (folder / "server.key").string() << "\n";
        }
        if (Options.User.empty()) {
            config << "allow_anonymous true\n";
            return;
        }
        const std::string passwords = (folder / "passwords").string();
        EXPECT_TRUE(RunCommand("mosquitto_passwd", {"-b", "-c", QString::fromStdString(passwords),
                                                    QString::fromStdString(Options.User),
                                                    QString::fromStdString(Options.Password)}));
        config << "allow_anonymous false\npassword_file " << passwords << "\n";
    }

    // A throw-away CA and a certificate for 127.0.0.1 signed by it.
    void MakeCertificates(const std::filesystem::path& folder) {
        const auto in = [&](const char* name) {
            return QString::fromStdString((folder / name).string());
        };
        CAFile = (folder / "ca.crt").string();
        const QStringList ec{"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes"};
        ASSERT_TRUE(
            RunCommand("openssl", QStringList{"req", "-x509"} + ec +
                                      QStringList{"-keyout", in("ca.key"), "-out", in("ca.crt"),
                                                  "-subj", "/CN=Ostrel test CA", "-days", "2"}));
        ASSERT_TRUE(
            RunCommand("openssl", QStringList{"req"} + ec +
                                      QStringList{"-keyout", in("server.key"), "-out",
                                                  in("server.csr"), "-subj", "/CN=127.0.0.1"}));
        std::ofstream(folder / "san.ext") << "subjectAltName=IP:127.0.0.1\n";
        ASSERT_TRUE(
            RunCommand("openssl", {"x509", "-req", "-in", in("server.csr"), "-CA", in("ca.crt"),
                                   "-CAkey", in("ca.key"), "-CAcreateserial", "-out",
                                   in("server.crt"), "-days", "2", "-extfile", in("san.ext")}));
    }

    TBrokerOptions Options;
    QTemporaryDir Folder;
    QProcess Process;
};

// mosquitto_sub on every topic, QoS 1, in a session the broker keeps across
// its own restart; "topic payload" lines.
class TMqttSubscriber {
public:
    // Returns once a message published after the subscription has arrived.
    explicit TMqttSubscriber(const TMosquittoBroker& broker) {
        Process.setStandardOutputFile(Folder.filePath("received"));
        Process.setProcessChannelMode(QProcess::SeparateChannels);
        Process.start("mosquitto_sub",
                      broker.ClientArguments() + QStringList{"-v", "-q", "1", "-c", "-i",
                                                             "ostrel-test-subscriber", "-t", "#"});
        EXPECT_TRUE(Process.waitForStarted(ProcessWaitMs));
        EXPECT_TRUE(Eventually(
            [&] {
                RunCommand("mosquitto_pub", broker.ClientArguments() +
                                                QStringList{"-q", "1", "-t", "probe", "-m", "up"});
                return !Payloads("probe").empty();
            },
            WaitLimit));
    }
    ~TMqttSubscriber() {
        Process.kill();
        Process.waitForFinished(ProcessWaitMs);
    }
    TMqttSubscriber(const TMqttSubscriber&) = delete;
    TMqttSubscriber& operator=(const TMqttSubscriber&) = delete;

    std::vector<std::string> Lines() const {
        std::ifstream in(Folder.filePath("received").toStdString());
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);) {
            lines.push_back(line);
        }
        return lines;
    }
    // The lines of one topic, payloads only.
    std::vector<std::string> Payloads(const std::string& topic) const {
        std::vector<std::string> payloads;
        for (const std::string& line : Lines()) {
            if (line.rfind(topic + " ", 0) == 0) {
                payloads.push_back(line.substr(topic.size() + 1));
            }
        }
        return payloads;
    }

private:
    QTemporaryDir Folder;
    QProcess Process;
};

} // namespace ostrel::test
