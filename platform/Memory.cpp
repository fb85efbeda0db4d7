// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Memory.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <sstream>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace ostrel {

namespace {

constexpr std::uint64_t Unknown = std::numeric_limits<std::uint64_t>::max();

#if defined(__linux__)
// The sum of the named /proc/meminfo fields, in bytes; Unknown without
// MemAvailable (kernels before 3.14).
std::uint64_t SystemAvailable() {
    std::ifstream meminfo("/proc/meminfo");
    std::string line;
    std::uint64_t total = 0;
    bool found = false;
    while (std::getline(meminfo, line)) {
        std::istringstream fields(line);
        std::string name;
        std::uint64_t kilobytes = 0;
        if (!(fields >> name >> kilobytes)) {
            continue;
        }
        if (name == "MemAvailable:" || name == "SwapFree:") {
            total += kilobytes * 1024;
            found = found || name == "MemAvailable:";
        }
    }
    return found ? total : Unknown;
}

// The address space the process has already taken.
std::uint64_t AddressSpaceInUse() {
    std::ifstream statm("/proc/self/statm");
    std::uint64_t pages = 0;
    statm >> pages;
    return pages * std::uint64_t(::sysconf(_SC_PAGESIZE));
}
#endif

#ifndef _WIN32
// What the soft limits on the address space and the data segment leave.
std::uint64_t LimitsLeft() {
    std::uint64_t left = Unknown;
    for (const int resource : {RLIMIT_AS, RLIMIT_DATA}) {
        struct rlimit limit {};
        if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
            continue;
        }
#if defined(__linux__)
        const std::uint64_t used = AddressSpaceInUse();
#else
        const std::uint64_t used = 0;
#endif
        const std::uint64_t cap = std::uint64_t(limit.rlim_cur);
        left = std::min(left, cap > used ? cap - used : 0);
    }
    return left;
}
#endif

} // namespace

std::uint64_t AvailableMemory() {
#ifdef _WIN32
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!::GlobalMemoryStatusEx(&status)) {
        return Unknown;
    }
    // What can still be committed, and what the address space still holds.
    return std::min<std::uint64_t>(status.ullAvailPageFile, status.ullAvailVirtual);
#elif defined(__linux__)
    return std::min(SystemAvailable(), LimitsLeft());
#else
    return LimitsLeft();
#endif
}

} // namespace ostrel
