// SPDX-License-Identifier: GPL-3.0-or-later
// Serial ports through termios; Windows has WindowsSerialPort.cpp.
#include "adapters/SerialPort.h"

#ifndef _WIN32

#include "adapters/PortAdvice.h"
#include "adapters/PosixCustomBaud.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace ostrel::adapters {

namespace {

// Enough for any backlog a counter can build up; a port that keeps pouring
// beyond it is read again on the next call.
constexpr std::size_t MaxBytesPerRead = 65536;
constexpr int WriteWaitMilliseconds = 200;

struct TBaudCode {
    int Baud;
    speed_t Code; // B0: no constant, set through SetCustomBaud
};

constexpr TBaudCode BaudCodes[] = {
    {1200, B1200},     {2400, B2400},   {4800, B4800},     {9600, B9600},
#ifdef __linux__
    {14400, B0},
#endif
    {19200, B19200},
#ifdef __linux__
    {28800, B0},
#endif
    {38400, B38400},   {57600, B57600}, {115200, B115200},
#ifdef B230400
    {230400, B230400},
#endif
#ifdef B460800
    {460800, B460800},
#endif
};

std::string ErrorText(int error) {
    return std::strerror(error);
}

// The _r functions: an adapter may open ports on any thread of the program.
std::string GroupName(gid_t id) {
    std::vector<char> buffer(1024);
    group entry{};
    group* found = nullptr;
    while (getgrgid_r(id, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < 1048576) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr ? found->gr_name : "";
}

std::vector<std::string> GroupNames(const std::vector<gid_t>& ids) {
    std::vector<std::string> names;
    for (const gid_t id : ids) {
        names.push_back(GroupName(id));
    }
    return names;
}

// The user, and the groups that the group database gives the user: what a
// new login would have.
void AddUser(TPortFacts& facts) {
    std::vector<char> buffer(1024);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < 1048576) {
        buffer.resize(buffer.size() * 2);
    }
    if (found == nullptr) {
        return;
    }
    facts.User = found->pw_name;
    std::vector<gid_t> ids(16);
    int count = static_cast<int>(ids.size());
    while (getgrouplist(found->pw_name, found->pw_gid, ids.data(), &count) < 0 &&
           static_cast<std::size_t>(count) > ids.size()) {
        ids.resize(static_cast<std::size_t>(count));
    }
    ids.resize(static_cast<std::size_t>(std::max(count, 0)));
    facts.UserGroups = GroupNames(ids);
}

// Looked at only when a port would not open, to tell why.
TPortAdvice Advise(const std::string& path, int error) {
    TPortFacts facts;
    facts.Error = error;
    facts.Device = path;
    if (char* resolved = realpath(path.c_str(), nullptr)) {
        facts.Device = resolved;
        std::free(resolved);
    }
    struct stat status {};
    if (stat(facts.Device.c_str(), &status) == 0) {
        facts.PortGroup = GroupName(status.st_gid);
    }
    std::vector<gid_t> ids(static_cast<std::size_t>(std::max(getgroups(0, nullptr), 0)));
    ids.resize(
        static_cast<std::size_t>(std::max(getgroups(static_cast<int>(ids.size()), ids.data()), 0)));
    ids.push_back(getegid());
    facts.ProcessGroups = GroupNames(ids);
    AddUser(facts);
    return AdviseOnOpenFailure(facts);
}

TOpenResult Refused(const std::string& path, int error) {
    const TPortAdvice advice = Advise(path, error);
    TOpenResult result;
    result.Error = advice.Reason;
    result.Advice = advice.Advice;
    return result;
}

class TPosixSerialPort : public TSerialPort {
public:
    TPosixSerialPort(int descriptor, const termios& original)
        : Descriptor(descriptor), Original(original) {}

    ~TPosixSerialPort() override {
        // Leave the line as it was found, for the next program that uses it.
        tcsetattr(Descriptor, TCSANOW, &Original);
        close(Descriptor);
    }

    TPosixSerialPort(const TPosixSerialPort&) = delete;
    TPosixSerialPort& operator=(const TPosixSerialPort&) = delete;

    TReadStatus Read(std::string& into) override {
        std::array<char, 4096> buffer{};
        std::size_t total = 0;
        while (total < MaxBytesPerRead) {
            const ssize_t count = read(Descriptor, buffer.data(), buffer.size());
            if (count > 0) {
                into.append(buffer.data(), static_cast<std::size_t>(count));
                total += static_cast<std::size_t>(count);
                continue;
            }
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                return TReadStatus::Open;
            }
            // 0 is end of file: with VMIN 1 a terminal says that only once
            // hung up. EIO, ENXIO, ENODEV: the device or the other side left.
            WhyGone = count == 0 ? "hung up" : ErrorText(errno);
            return TReadStatus::Gone;
        }
        return TReadStatus::Open;
    }

    bool WaitForInput(int milliseconds) override {
        pollfd entry{Descriptor, POLLIN, 0};
        const int ready = poll(&entry, 1, milliseconds);
        return ready > 0 && entry.revents != 0;
    }

    bool Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            const ssize_t count = write(Descriptor, bytes.data(), bytes.size());
            if (count > 0) {
                bytes.remove_prefix(static_cast<std::size_t>(count));
                continue;
            }
            if (count < 0 && errno == EINTR) {
                continue;
            }
            if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                pollfd entry{Descriptor, POLLOUT, 0};
                if (poll(&entry, 1, WriteWaitMilliseconds) <= 0 || (entry.revents & POLLOUT) == 0) {
                    return false;
                }
                continue;
            }
            return false;
        }
        return true;
    }

    void DiscardInput() override { tcflush(Descriptor, TCIFLUSH); }

    std::string GoneReason() const override { return WhyGone; }

private:
    int Descriptor;
    termios Original;
    std::string WhyGone;
};

std::optional<speed_t> BaudCode(int baud) {
    for (const TBaudCode& entry : BaudCodes) {
        if (entry.Baud == baud) {
            return entry.Code;
        }
    }
    return std::nullopt;
}

// Raw bytes, 8N1, no flow control, no modem lines; a read that finds
// nothing returns at once (O_NONBLOCK) and one that returns 0 means hang-up.
bool MakeRaw(int descriptor, speed_t speed, int baud, termios& original) {
    if (tcgetattr(descriptor, &original) != 0) {
        return false;
    }
    termios raw = original;
    cfmakeraw(&raw);
    raw.c_cflag &= ~static_cast<tcflag_t>(CSTOPB | PARENB | CSIZE | CRTSCTS);
    raw.c_cflag |= CS8 | CLOCAL | CREAD;
    raw.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // A rate without a constant is set once the rest is: tcsetattr would
    // put a constant's rate back.
    const speed_t constant = speed != B0 ? speed : B9600;
    return cfsetispeed(&raw, constant) == 0 && cfsetospeed(&raw, constant) == 0 &&
           tcsetattr(descriptor, TCSANOW, &raw) == 0 &&
           (speed != B0 || SetCustomBaud(descriptor, baud));
}

} // namespace

std::vector<int> SupportedBauds() {
    std::vector<int> bauds;
    for (const TBaudCode& entry : BaudCodes) {
        bauds.push_back(entry.Baud);
    }
    return bauds;
}

TOpenResult OpenSerialPort(const std::string& path, int baud) {
    TOpenResult result;
    const std::optional<speed_t> speed = BaudCode(baud);
    if (!speed) {
        result.Error = "unsupported baud rate " + std::to_string(baud);
        return result;
    }
    const int descriptor = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (descriptor < 0) {
        return Refused(path, errno);
    }
    if (!isatty(descriptor)) {
        close(descriptor);
        result.Error = "not a serial port";
        return result;
    }
    // A second reader would steal half of the counter's bytes.
    if (ioctl(descriptor, TIOCEXCL) != 0) {
        const int error = errno;
        close(descriptor);
        result.Error = ErrorText(error);
        return result;
    }
    // TIOCEXCL does not hold root back, and programs that lock with flock
    // (pyserial's exclusive ports) do not set it.
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        close(descriptor);
        return Refused(path, EBUSY);
    }
    termios original{};
    if (!MakeRaw(descriptor, *speed, baud, original)) {
        const int error = errno;
        close(descriptor);
        result.Error = ErrorText(error);
        return result;
    }
    tcflush(descriptor, TCIOFLUSH);
    result.Port = std::make_unique<TPosixSerialPort>(descriptor, original);
    return result;
}

} // namespace ostrel::adapters

#endif
