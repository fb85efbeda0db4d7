// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Fake counters on pseudo-terminals: the adapter opens the terminal side as
// it would open /dev/ttyUSB0, the test plays the counter on the other side,
// and closing that side is pulling the cable.

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace ostrel::adapters::test {

// Waits for something another thread or process brings about. The deadline
// only keeps a broken run from hanging, on a machine however busy; how long
// it takes is not tested.
inline bool WaitUntil(const std::function<bool()>& condition, int seconds = 120) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

class TPty {
public:
    TPty() {
        Master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || grantpt(Master) != 0 || unlockpt(Master) != 0) {
            throw std::runtime_error("no pseudo-terminal");
        }
        char name[128] = {};
        if (ptsname_r(Master, name, sizeof name) != 0) {
            throw std::runtime_error("no pseudo-terminal name");
        }
        SlavePath = name;
        // Raw from the start, so that nothing is echoed or translated even
        // before the adapter sets the line up.
        termios raw{};
        tcgetattr(Master, &raw);
        cfmakeraw(&raw);
        tcsetattr(Master, TCSANOW, &raw);
        fcntl(Master, F_SETFL, fcntl(Master, F_GETFL) | O_NONBLOCK);
    }
    ~TPty() { Close(); }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    const std::string& Path() const { return SlavePath; }

    void Write(std::string_view bytes) {
        while (!bytes.empty() && Master >= 0) {
            const ssize_t count = write(Master, bytes.data(), bytes.size());
            if (count > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(count));
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        }
    }

    // What the adapter wrote, waiting up to the given time for the first byte.
    std::string Read(int milliseconds) {
        pollfd entry{Master, POLLIN, 0};
        std::string bytes;
        if (Master < 0 || poll(&entry, 1, milliseconds) <= 0 || (entry.revents & POLLIN) == 0) {
            // Without a terminal side open the master reports hang-up at once.
            if ((entry.revents & POLLHUP) != 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
            }
            return bytes;
        }
        char buffer[256];
        ssize_t count = 0;
        while ((count = read(Master, buffer, sizeof buffer)) > 0) {
            bytes.append(buffer, static_cast<std::size_t>(count));
        }
        return bytes;
    }

    void Close() {
        if (Master >= 0) {
            close(Master);
            Master = -1;
        }
    }

private:
    int Master = -1;
    std::string SlavePath;
};

// A fake counter's side of a pseudo-terminal, served by a thread of its own:
// a subclass starts Server with its Serve loop and calls Unplug in its
// destructor, before its own members go.
class TFakeOnPty {
public:
    const std::string& Path() const { return Pty.Path(); }

    // The cable is pulled: the terminal side reads an error from now on.
    void Unplug() {
        Stopping = true;
        if (Server.joinable()) {
            Server.join();
        }
        const std::lock_guard<std::mutex> guard(Lock);
        Pty.Close();
    }

protected:
    TPty Pty;
    mutable std::mutex Lock;
    std::atomic<bool> Stopping{false};
    std::thread Server;
};

// A GQ GMC counter: answers <GETVER>> with its version, and sends the
// heartbeat counts it is given while <HEARTBEAT1>> is on.
class TFakeGmc : public TFakeOnPty {
public:
    explicit TFakeGmc(std::string version, int frameBytes = 2)
        : Version(std::move(version)), FrameBytes(frameBytes) {
        Server = std::thread([this] { Serve(); });
    }
    ~TFakeGmc() { Unplug(); }

    // The commands received so far, without their brackets: "GETVER".
    std::vector<std::string> Commands() const {
        const std::lock_guard<std::mutex> guard(Lock);
        return Received;
    }

    bool WaitForCommands(std::size_t count) {
        return WaitUntil([&] { return Commands().size() >= count; });
    }

    bool Heartbeat() const { return HeartbeatOn.load(); }

    // One burst of heartbeat frames, big-endian.
    void SendCounts(const std::vector<std::uint32_t>& counts) {
        std::string bytes;
        for (const std::uint32_t count : counts) {
            for (int shift = (FrameBytes - 1) * 8; shift >= 0; shift -= 8) {
                bytes += static_cast<char>((count >> shift) & 0xFF);
            }
        }
        SendRaw(bytes);
    }

    void SendRaw(std::string_view bytes) {
        const std::lock_guard<std::mutex> guard(Lock);
        Pty.Write(bytes);
    }

private:
    void Serve() {
        std::string pending;
        while (!Stopping) {
            pending += Pty.Read(5);
            std::size_t open = 0;
            while ((open = pending.find('<')) != std::string::npos) {
                const std::size_t close = pending.find(">>", open);
                if (close == std::string::npos) {
                    break;
                }
                Handle(pending.substr(open + 1, close - open - 1));
                pending.erase(0, close + 2);
            }
        }
    }

    void Handle(const std::string& command) {
        const std::lock_guard<std::mutex> guard(Lock);
        Received.push_back(command);
        if (command == "GETVER") {
            Pty.Write(Version);
        } else if (command == "HEARTBEAT1") {
            HeartbeatOn = true;
        } else if (command == "HEARTBEAT0") {
            HeartbeatOn = false;
        }
    }

    std::string Version;
    int FrameBytes;
    std::vector<std::string> Received;
    std::atomic<bool> HeartbeatOn{false};
};

// A counter running the Rad Pro firmware, as its USB protocol document
// (Gissio/radpro, docs/comm.md) describes it: "GET name" CR LF requests,
// "OK value" or "ERROR" CR LF answers.
class TFakeRadPro : public TFakeOnPty {
public:
    // The deviceId answer of docs/comm.md's example, and its tube sensitivity.
    explicit TFakeRadPro(std::string deviceId = "FS2011 (STM32F051C8);Rad Pro 2.0/en;"
                                                "b5706d937087f975b5812810",
                         std::string sensitivity = "153.800")
        : DeviceId(std::move(deviceId)), Sensitivity(std::move(sensitivity)) {
        Server = std::thread([this] { Serve(); });
    }
    ~TFakeRadPro() { Unplug(); }

    // The tube's lifetime pulse count grows by this.
    void AddPulses(std::uint32_t pulses) { PulseCount += pulses; }

    // The requests received so far, without CR LF.
    std::vector<std::string> Requests() const {
        const std::lock_guard<std::mutex> guard(Lock);
        return Received;
    }

    // Bytes of the answers sent so far.
    std::size_t BytesAnswered() const { return Answered.load(); }

private:
    void Serve() {
        std::string pending;
        while (!Stopping) {
            pending += Pty.Read(5);
            std::size_t end = 0;
            while ((end = pending.find("\r\n")) != std::string::npos) {
                Handle(pending.substr(0, end));
                pending.erase(0, end + 2);
            }
        }
    }

    void Handle(const std::string& request) {
        const std::lock_guard<std::mutex> guard(Lock);
        Received.push_back(request);
        std::string answer = "ERROR";
        if (request == "GET deviceId") {
            answer = "OK " + DeviceId;
        } else if (request == "GET tubeSensitivity") {
            answer = "OK " + Sensitivity;
        } else if (request == "GET tubePulseCount") {
            answer = "OK " + std::to_string(PulseCount.load());
        }
        answer += "\r\n";
        Pty.Write(answer);
        Answered += answer.size();
    }

    std::string DeviceId;
    std::string Sensitivity;
    std::atomic<std::uint32_t> PulseCount{1500};
    std::atomic<std::size_t> Answered{0};
    std::vector<std::string> Received;
};

} // namespace ostrel::adapters::test
