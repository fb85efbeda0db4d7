// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/RegularFile.h"

#include "files/FileErrors.h"
#include "platform/Exceptions.h"

#include <algorithm>
#include <limits>
#include <string_view>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#endif

namespace ostrel {

namespace {

[[noreturn]] void ThrowCannotOpen(const std::string& path, std::string_view reason) {
    throw EFileError(FileErrorText(CannotOpenFileText, path, reason));
}

// Reads through the source until it reports the end, into a buffer sized for
// the expected bytes and one more, so the read that meets the end needs no
// growth; a file that grows meanwhile (or reports no size, as /proc does)
// still reads whole, up to maxBytes. read(buffer, room) returns the bytes
// read, 0 at the end, and throws on an error.
template <typename Read>
std::string ReadAll(const std::string& path, std::uint64_t expected, std::uint64_t maxBytes,
                    Read read) {
    // One byte past the limit tells a file of maxBytes from a larger one.
    const std::uint64_t room =
        maxBytes < std::numeric_limits<std::uint64_t>::max() ? maxBytes + 1 : maxBytes;
    std::string bytes(std::size_t(std::min(expected + 1, room)), '\0');
    std::size_t filled = 0;
    for (;;) {
        if (filled == bytes.size()) {
            if (filled > maxBytes) {
                ThrowCannotOpen(path, FileTooLargeText);
            }
            bytes.resize(std::size_t(std::min<std::uint64_t>(std::uint64_t(filled) * 2, room)));
        }
        const long long got = read(bytes.data() + filled, bytes.size() - filled);
        if (got == 0) {
            break;
        }
        filled += std::size_t(got);
    }
    bytes.resize(filled);
    return bytes;
}

#ifdef _WIN32

std::string SystemText(DWORD error) {
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::wstring wide(text != nullptr ? text : L"", length);
    ::LocalFree(text);
    while (!wide.empty() && (wide.back() == L'\r' || wide.back() == L'\n')) {
        wide.pop_back();
    }
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(std::size_t(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), int(wide.size()), utf8.data(), size, nullptr,
                          nullptr);
    return utf8;
}

std::wstring WidePath(const std::string& path) {
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), nullptr, 0);
    std::wstring wide(std::size_t(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, path.data(), int(path.size()), wide.data(), size);
    return wide;
}

class THandle {
public:
    explicit THandle(HANDLE handle) : Handle(handle) {}
    ~THandle() {
        if (Handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(Handle);
        }
    }
    THandle(const THandle&) = delete;
    THandle& operator=(const THandle&) = delete;
    HANDLE Get() const { return Handle; }

private:
    HANDLE Handle;
};

} // namespace

std::string ReadFileBytes(const std::string& path, std::uint64_t maxBytes) {
    const std::wstring wide = WidePath(path);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        ThrowCannotOpen(path, NotRegularFileText);
    }
    const THandle file(::CreateFileW(wide.c_str(), GENERIC_READ,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.Get() == INVALID_HANDLE_VALUE) {
        ThrowCannotOpen(path, SystemText(::GetLastError()));
    }
    // Pipes, consoles and other devices are no disk files.
    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        ThrowCannotOpen(path, NotRegularFileText);
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size)) {
        ThrowCannotOpen(path, SystemText(::GetLastError()));
    }
    if (std::uint64_t(size.QuadPart) > maxBytes) {
        ThrowCannotOpen(path, FileTooLargeText);
    }
    return ReadAll(path, std::uint64_t(size.QuadPart), maxBytes,
                   [&](char* buffer, std::size_t room) -> long long {
                       DWORD got = 0;
                       const DWORD ask = DWORD(std::min<std::size_t>(room, 1U << 30));
                       if (!::ReadFile(file.Get(), buffer, ask, &got, nullptr)) {
                           ThrowCannotOpen(path, SystemText(::GetLastError()));
                       }
                       return got;
                   });
}

#else

std::string SystemText(int error) {
    return std::generic_category().message(error);
}

// Only a regular file has an end; a folder gets the system's own word.
void RequireRegular(const std::string& path, mode_t mode) {
    if (S_ISDIR(mode)) {
        ThrowCannotOpen(path, SystemText(EISDIR));
    }
    if (!S_ISREG(mode)) {
        ThrowCannotOpen(path, NotRegularFileText);
    }
}

class TDescriptor {
public:
    explicit TDescriptor(int fd) : Fd(fd) {}
    ~TDescriptor() {
        if (Fd >= 0) {
            ::close(Fd);
        }
    }
    TDescriptor(const TDescriptor&) = delete;
    TDescriptor& operator=(const TDescriptor&) = delete;
    int Get() const { return Fd; }

private:
    int Fd;
};

} // namespace

std::string ReadFileBytes(const std::string& path, std::uint64_t maxBytes) {
    // A socket cannot be opened at all; asking first gives the reason.
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        RequireRegular(path, info.st_mode);
    }
    // Without O_NONBLOCK, opening a pipe waits for a writer; the kind is
    // checked again on what was opened, the name may have changed meanwhile.
    const TDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.Get() < 0) {
        ThrowCannotOpen(path, SystemText(errno));
    }
    if (::fstat(file.Get(), &info) != 0) {
        ThrowCannotOpen(path, SystemText(errno));
    }
    RequireRegular(path, info.st_mode);
    const int flags = ::fcntl(file.Get(), F_GETFL);
    if (flags < 0 || ::fcntl(file.Get(), F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ThrowCannotOpen(path, SystemText(errno));
    }
    if (info.st_size > 0 && std::uint64_t(info.st_size) > maxBytes) {
        ThrowCannotOpen(path, FileTooLargeText);
    }
    return ReadAll(path, std::uint64_t(std::max<off_t>(info.st_size, 0)), maxBytes,
                   [&](char* buffer, std::size_t room) -> long long {
                       for (;;) {
                           const ssize_t got = ::read(file.Get(), buffer, room);
                           if (got >= 0) {
                               return got;
                           }
                           if (errno != EINTR) {
                               ThrowCannotOpen(path, SystemText(errno));
                           }
                       }
                   });
}

#endif

} // namespace ostrel
