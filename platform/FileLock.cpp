// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/FileLock.h"

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace ostrel {

TFileLock::~TFileLock() {
#ifdef _WIN32
    if (Handle != nullptr) {
        CloseHandle(static_cast<HANDLE>(Handle));
    }
#else
    if (Descriptor >= 0) {
        ::close(Descriptor);
    }
#endif
}

bool TFileLock::Held() const {
#ifdef _WIN32
    return Handle != nullptr;
#else
    return Descriptor >= 0;
#endif
}

TFileLock::TResult TFileLock::Take(const std::filesystem::path& path, std::error_code& error) {
    if (Held()) {
        return TResult::Taken;
    }
#ifdef _WIN32
    // Opened without sharing: the next open fails until this process ends.
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error.assign(static_cast<int>(code), std::system_category());
        return code == ERROR_SHARING_VIOLATION ? TResult::Busy : TResult::Failed;
    }
    Handle = handle;
#else
    const int descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        error.assign(errno, std::generic_category());
        return TResult::Failed;
    }
    if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
        const int code = errno;
        ::close(descriptor);
        error.assign(code, std::generic_category());
        return code == EWOULDBLOCK ? TResult::Busy : TResult::Failed;
    }
    Descriptor = descriptor;
#endif
    error.clear();
    return TResult::Taken;
}

} // namespace ostrel
