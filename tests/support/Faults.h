// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Faults brought about on purpose: a disk that stops a write part-way (a
// file-size limit) and folders that the process may not write to, also when
// the tests run as root.

#ifndef _WIN32
#include <csignal>
#include <sys/resource.h>
#include <unistd.h>
#endif
#ifdef __linux__
#include <linux/capability.h>
#include <sys/syscall.h>
#endif

#include <cstdint>

namespace ostrel::test {

#ifndef _WIN32
// Lowers the largest file the process may write, as a full disk stops a
// write short, and puts it back afterwards. The write then fails with
// EFBIG instead of killing the process with SIGXFSZ.
class TFileSizeLimit {
public:
    explicit TFileSizeLimit(std::uint64_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &Saved);
        PreviousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = Saved;
        lowered.rlim_cur = static_cast<rlim_t>(bytes);
        Active = ::setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~TFileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &Saved);
        std::signal(SIGXFSZ, PreviousHandler);
    }
    TFileSizeLimit(const TFileSizeLimit&) = delete;
    TFileSizeLimit& operator=(const TFileSizeLimit&) = delete;
    bool Active = false;

private:
    rlimit Saved{};
    void (*PreviousHandler)(int) = nullptr;
};
#endif

// While it lives, file permissions bind this thread even when it runs as
// root: the capabilities that override them are taken out of its effective
// set (they stay permitted and come back at the end). Without root nothing
// needs doing.
class TPermissionsBind {
public:
    TPermissionsBind() {
#ifdef __linux__
        if (::geteuid() != 0) {
            return;
        }
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        if (::syscall(SYS_capget, &header, Saved) != 0) {
            return;
        }
        __user_cap_data_struct lowered[2] = {Saved[0], Saved[1]};
        for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
            lowered[capability / 32].effective &= ~(1u << (capability % 32));
        }
        Lowered = ::syscall(SYS_capset, &header, lowered) == 0;
#endif
    }
    ~TPermissionsBind() {
#ifdef __linux__
        if (Lowered) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            ::syscall(SYS_capset, &header, Saved);
        }
#endif
    }
    TPermissionsBind(const TPermissionsBind&) = delete;
    TPermissionsBind& operator=(const TPermissionsBind&) = delete;

    // Whether a read-only folder now stops this thread's writes.
    bool Binds() const {
#ifdef _WIN32
        return false; // read-only folders are no protection on Windows
#else
        return ::geteuid() != 0 || Lowered;
#endif
    }

private:
#ifdef __linux__
    __user_cap_data_struct Saved[2]{};
#endif
    bool Lowered = false;
};

} // namespace ostrel::test
