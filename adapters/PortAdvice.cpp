// SPDX-License-Identifier: GPL-3.0-or-later
#include "adapters/PortAdvice.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <system_error>

namespace ostrel::adapters {

namespace fs = std::filesystem;

namespace {

// The CH340 USB serial chip of many cheap counters, which brltty's udev
// rules (as on Ubuntu 22.04) take for a braille display: brltty claims the
// USB device, and the counter's tty is gone or held.
constexpr const char* Ch340Vendor = "1a86";
constexpr const char* Ch340Product = "7523";

// Windows' error codes (winerror.h), which this file is compiled without.
constexpr unsigned long WindowsFileNotFound = 2;
constexpr unsigned long WindowsPathNotFound = 3;
constexpr unsigned long WindowsAccessDenied = 5;
constexpr unsigned long WindowsSharingViolation = 32;
constexpr unsigned long WindowsInvalidName = 123;

struct THolder {
    std::string Command;
    std::string Pid;
};

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

// Never throws: /proc changes while it is read, and most of it is closed
// to other users.
std::vector<fs::path> Entries(const fs::path& folder) {
    std::vector<fs::path> entries;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        entries.push_back(it->path());
    }
    std::sort(entries.begin(), entries.end());
    return entries;
}

bool Contains(const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::vector<fs::path> Processes(const fs::path& proc) {
    std::vector<fs::path> processes = Entries(proc);
    std::erase_if(processes, [](const fs::path& entry) {
        const std::string name = entry.filename().string();
        return name.empty() ||
               !std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
    });
    // By number: 612 before 4242.
    std::sort(processes.begin(), processes.end(), [](const fs::path& a, const fs::path& b) {
        const std::string left = a.filename().string();
        const std::string right = b.filename().string();
        return left.size() != right.size() ? left.size() < right.size() : left < right;
    });
    return processes;
}

// Only root sees the descriptors of other users' processes.
std::vector<THolder> Holders(const fs::path& proc, const std::string& device) {
    std::vector<THolder> holders;
    for (const fs::path& process : Processes(proc)) {
        for (const fs::path& descriptor : Entries(process / "fd")) {
            std::error_code error;
            if (fs::read_symlink(descriptor, error) == device) {
                holders.push_back({FirstLine(process / "comm"), process.filename().string()});
                break;
            }
        }
    }
    return holders;
}

bool BrlttyPresent(const fs::path& root) {
    for (const fs::path& process : Processes(root / "proc")) {
        if (FirstLine(process / "comm") == "brltty") {
            return true;
        }
    }
    for (const char* folder : {"etc/udev/rules.d", "lib/udev/rules.d", "usr/lib/udev/rules.d"}) {
        for (const fs::path& rule : Entries(root / folder)) {
            if (rule.filename().string().find("brltty") != std::string::npos) {
                return true;
            }
        }
    }
    return false;
}

bool IsCh340(const fs::path& usbDevice) {
    return FirstLine(usbDevice / "idVendor") == Ch340Vendor &&
           FirstLine(usbDevice / "idProduct") == Ch340Product;
}

bool HasTty(const fs::path& usbDevice) {
    for (const fs::path& usbInterface : Entries(usbDevice)) {
        for (const fs::path& child : Entries(usbInterface)) {
            if (child.filename().string().starts_with("tty")) {
                return true;
            }
        }
    }
    return false;
}

// A tty that is there: the USB device above it. One that is gone: a CH340
// on the bus without a tty, which is what brltty leaves of it.
bool OnCh340(const fs::path& sys, const std::string& device) {
    std::error_code error;
    const fs::path tty = sys / "class/tty" / fs::path(device).filename() / "device";
    const fs::path sysFolder = fs::weakly_canonical(sys, error);
    fs::path above = fs::canonical(tty, error);
    if (!error) {
        for (; above != above.parent_path() && above.string().starts_with(sysFolder.string());
             above = above.parent_path()) {
            if (fs::exists(above / "idVendor", error)) {
                return IsCh340(above);
            }
        }
        return false;
    }
    const std::vector<fs::path> usbDevices = Entries(sys / "bus/usb/devices");
    return std::any_of(usbDevices.begin(), usbDevices.end(), [](const fs::path& usbDevice) {
        return IsCh340(usbDevice) && !HasTty(usbDevice);
    });
}

TPortAdvice NoPermission(const TPortFacts& facts, const std::string& reason) {
    const std::string& group = facts.PortGroup;
    if (group.empty() || facts.User.empty()) {
        return {reason + " (is the user in the group that owns the port, such as dialout?)", {}};
    }
    if (group == "root") {
        return {reason + " (the port belongs to the group root: a udev rule must give it to a "
                         "group such as dialout)",
                {}};
    }
    if (Contains(facts.ProcessGroups, group)) {
        return {reason + " (though " + facts.User + " is in the port's group " + group + ")", {}};
    }
    if (Contains(facts.UserGroups, group)) {
        return {reason + " (" + facts.User + " was added to the port's group " + group +
                    " after logging in)",
                "log out and in again for the group to take effect"};
    }
    return {reason + " (the port belongs to the group " + group + ", which " + facts.User +
                " is not in)",
            "sudo usermod -aG " + group + " " + facts.User + ", then log out and in again"};
}

TPortAdvice Brltty(const std::string& reason) {
    return {reason +
                " (brltty, the braille display service, has taken the CH340 USB serial "
                "adapter " +
                Ch340Vendor + ":" + Ch340Product + ")",
            "where no braille display is used, distributions advise removing brltty: "
            "sudo apt remove brltty (Debian, Ubuntu)"};
}

TPortAdvice Busy(const TPortFacts& facts, const std::string& reason) {
    const std::vector<THolder> holders = Holders(facts.Root / "proc", facts.Device);
    const bool brlttyHolds = std::any_of(holders.begin(), holders.end(),
                                         [](const THolder& h) { return h.Command == "brltty"; });
    if (brlttyHolds || (holders.empty() && OnCh340(facts.Root / "sys", facts.Device) &&
                        BrlttyPresent(facts.Root))) {
        return Brltty(reason);
    }
    if (holders.empty()) {
        return {reason + " (held by another program)", {}};
    }
    std::string held = reason + " (held by ";
    for (std::size_t i = 0; i < holders.size(); ++i) {
        held += (i == 0 ? "" : "; ") + holders[i].Command + ", process " + holders[i].Pid;
    }
    return {held + ")", {}};
}

} // namespace

TPortAdvice AdviseOnOpenFailure(const TPortFacts& facts) {
    const std::string reason = std::strerror(facts.Error);
    switch (facts.Error) {
    case EACCES:
    case EPERM:
        return NoPermission(facts, reason);
    case EBUSY:
        return Busy(facts, reason);
    case ENOENT:
    case ENODEV:
    case ENXIO:
        // The CH340 is looked for first: a port that is simply not plugged
        // in is the common case, and brltty's name is looked for in every
        // process.
        if (OnCh340(facts.Root / "sys", facts.Device) && BrlttyPresent(facts.Root)) {
            return Brltty(reason);
        }
        return {reason, {}};
    default:
        return {reason, {}};
    }
}

TPortAdvice AdviseOnComPortFailure(const TComPortFacts& facts) {
    switch (facts.Error) {
    // Windows gives a COM port to one program at a time, and says which
    // holds it to no one.
    case WindowsAccessDenied:
    case WindowsSharingViolation:
        return {facts.SystemText + " (held by another program)", {}};
    case WindowsFileNotFound:
    case WindowsPathNotFound:
    case WindowsInvalidName: {
        if (facts.PresentPorts.empty()) {
            return {facts.SystemText + " (no COM port is present)", {}};
        }
        std::string ports;
        for (const std::string& port : facts.PresentPorts) {
            ports += (ports.empty() ? "" : ", ") + port;
        }
        return {facts.SystemText + " (the COM ports present: " + ports + ")", {}};
    }
    default:
        return {facts.SystemText, {}};
    }
}

} // namespace ostrel::adapters
