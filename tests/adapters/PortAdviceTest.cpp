// SPDX-License-Identifier: GPL-3.0-or-later
// What a user is told about a port that would not open, from a /proc, a
// /sys and udev rules laid out in a temporary folder.

#include "adapters/PortAdvice.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace ostrel::adapters {
namespace {

namespace fs = std::filesystem;
using TTree = std::vector<std::string>;

// "a/b=text" a file, "a/b->target" a symbolic link, folders made as needed.
void Lay(const fs::path& root, const TTree& tree) {
    for (const std::string& entry : tree) {
        const auto arrow = entry.find("->");
        const fs::path path = root / entry.substr(0, std::min(arrow, entry.find('=')));
        fs::create_directories(path.parent_path());
        if (arrow != std::string::npos) {
            fs::create_symlink(entry.substr(arrow + 2), path);
        } else {
            std::ofstream(path) << entry.substr(entry.find('=') + 1) << '\n';
        }
    }
}

TTree operator+(TTree a, const TTree& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const TTree NoFiles;
const TTree Ch340WithTty = {
    "sys/devices/usb1/1-1/idVendor=1a86", "sys/devices/usb1/1-1/idProduct=7523",
    "sys/devices/usb1/1-1/1-1:1.0/ttyUSB0/uevent=",
    "sys/class/tty/ttyUSB0/device->../../../devices/usb1/1-1/1-1:1.0/ttyUSB0"};
const TTree Ch340WithoutTty = {"sys/bus/usb/devices/1-1/idVendor=1a86",
                               "sys/bus/usb/devices/1-1/idProduct=7523",
                               "sys/bus/usb/devices/1-1/1-1:1.0/uevent="};
const TTree BrlttyRule = {"usr/lib/udev/rules.d/85-brltty.rules=# generic USB serial"};
const std::string Brltty = " (brltty, the braille display service, has taken the CH340 USB "
                           "serial adapter 1a86:7523)";
const std::string RemoveBrltty = "where no braille display is used, distributions advise "
                                 "removing brltty: sudo apt remove brltty (Debian, Ubuntu)";
const TTree Minicom = {"proc/4242/comm=minicom", "proc/4242/fd/0->/dev/pts/1",
                       "proc/4242/fd/3->/dev/ttyUSB0"};

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), {}};
}

struct TCase {
    int Error;
    std::string PortGroup;
    std::string ProcessGroups; // separated by blanks
    std::string UserGroups;
    TTree Tree;
    std::string Reason;
    std::string Advice;
};

TEST(PortAdviceTest, SaysWhyAPortWouldNotOpenAndWhatToDo) {
    const std::vector<TCase> cases = {
        {EACCES, "dialout", "alice", "alice", NoFiles,
         "Permission denied (the port belongs to the group dialout, which alice is not in)",
         "sudo usermod -aG dialout alice, then log out and in again"},
        {EACCES, "uucp", "alice", "alice uucp", NoFiles,
         "Permission denied (alice was added to the port's group uucp after logging in)",
         "log out and in again for the group to take effect"},
        {EACCES, "dialout", "alice dialout", "alice dialout", NoFiles,
         "Permission denied (though alice is in the port's group dialout)", ""},
        {EACCES, "root", "alice", "alice", NoFiles,
         "Permission denied (the port belongs to the group root: a udev rule must give it to a "
         "group such as dialout)",
         ""},
        {EACCES, "", "alice", "alice", NoFiles,
         "Permission denied (is the user in the group that owns the port, such as dialout?)", ""},
        {EBUSY, "dialout", "", "",
         Minicom + TTree{"proc/99/comm=screen", "proc/99/fd/5->/dev/ttyUSB0", "proc/7/comm=getty",
                         "proc/7/fd/0->/dev/ttyS0"},
         "Device or resource busy (held by screen, process 99; minicom, process 4242)", ""},
        {EBUSY, "dialout", "", "", Ch340WithTty,
         "Device or resource busy (held by another program)", ""},
        {EBUSY, "dialout", "", "",
         Ch340WithTty + TTree{"proc/612/comm=brltty", "proc/612/fd/9->/dev/ttyUSB0"},
         "Device or resource busy" + Brltty, RemoveBrltty},
        {ENOENT, "", "", "", Ch340WithoutTty + BrlttyRule, "No such file or directory" + Brltty,
         RemoveBrltty},
        {ENOENT, "", "", "", Ch340WithoutTty, "No such file or directory", ""},
        {ENOENT, "", "", "",
         BrlttyRule + TTree{"proc/612/comm=brltty", "sys/bus/usb/devices/1-2/idVendor=1a86",
                            "sys/bus/usb/devices/1-2/idProduct=7523",
                            "sys/bus/usb/devices/1-2/1-2:1.0/ttyUSB1/uevent="},
         "No such file or directory", ""},
    };
    for (const TCase& c : cases) {
        QTemporaryDir folder;
        const fs::path root = folder.path().toStdString();
        Lay(root, c.Tree);
        const TPortAdvice advice =
            AdviseOnOpenFailure({c.Error, "/dev/ttyUSB0", c.PortGroup, Words(c.ProcessGroups),
                                 "alice", Words(c.UserGroups), root});
        EXPECT_EQ(advice.Reason, c.Reason);
        EXPECT_EQ(advice.Advice, c.Advice) << c.Reason;
    }
}

} // namespace
} // namespace ostrel::adapters
