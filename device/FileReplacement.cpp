// SPDX-License-Identifier: GPL-3.0-or-later
#include "device/FileReplacement.h"

#include <algorithm>
#include <cstdint>
#include <random>
#include <sstream>
#include <string>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ostrel {

namespace fs = std::filesystem;

namespace {

// Links deeper than this are taken for a loop; the file's own check then
// fails on it, and nothing is replaced.
constexpr int MaxLinks = 40;

// A link is followed, so that the link stays and its target gets the
// content; also a link whose target does not exist yet, which then is made.
fs::path WriteTarget(fs::path path) {
    for (int link = 0; link < MaxLinks; ++link) {
        std::error_code error;
        if (!fs::is_symlink(path, error)) {
            return path;
        }
        const fs::path next = fs::read_symlink(path, error);
        if (error) {
            return path;
        }
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    return path;
}

fs::path TemporaryPath(const fs::path& target) {
    std::random_device random;
    const std::uint64_t tag = (std::uint64_t{random()} << 32) ^ random();
    std::ostringstream suffix;
    suffix << "." << std::hex << tag << ".tmp";
    fs::path temporary = target;
    temporary += suffix.str();
    return temporary;
}

#ifdef _WIN32

std::error_code LastError() {
    return {static_cast<int>(::GetLastError()), std::system_category()};
}

class TFile {
public:
    explicit TFile(HANDLE handle) : Handle(handle) {}
    ~TFile() { Close(); }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    bool IsOpen() const { return Handle != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return Handle; }
    bool Close() {
        const bool closed = !IsOpen() || ::CloseHandle(Handle) != 0;
        Handle = INVALID_HANDLE_VALUE;
        return closed;
    }

private:
    HANDLE Handle;
};

std::error_code WriteFlushed(const fs::path& temporary, std::string_view content) {
    TFile file(::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsOpen()) {
        return LastError();
    }
    while (!content.empty()) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(content.size(), 1u << 30));
        DWORD written = 0;
        if (::WriteFile(file.Get(), content.data(), chunk, &written, nullptr) == 0) {
            return LastError();
        }
        content.remove_prefix(written);
    }
    if (::FlushFileBuffers(file.Get()) == 0 || !file.Close()) {
        return LastError();
    }
    return {};
}

std::error_code MayReplace(const fs::path& target, bool& exists) {
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    exists = attributes != INVALID_FILE_ATTRIBUTES;
    if (!exists) {
        const DWORD error = ::GetLastError();
        return error == ERROR_FILE_NOT_FOUND ? std::error_code{} : LastError();
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        return {ERROR_ACCESS_DENIED, std::system_category()};
    }
    // ReplaceFileW may "replace" a folder (Wine's does, and says it did).
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::make_error_code(std::errc::is_a_directory);
    }
    return {};
}

// ReplaceFileW keeps the old file's attributes and access rights.
std::error_code MoveOver(const fs::path& temporary, const fs::path& target, bool exists) {
    const bool moved = exists
                           ? ::ReplaceFileW(target.c_str(), temporary.c_str(), nullptr,
                                            REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0
                           : ::MoveFileExW(temporary.c_str(), target.c_str(),
                                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    return moved ? std::error_code{} : LastError();
}

#else

std::error_code LastError() {
    return {errno, std::generic_category()};
}

class TFile {
public:
    explicit TFile(int descriptor) : Descriptor(descriptor) {}
    ~TFile() { Close(); }
    TFile(const TFile&) = delete;
    TFile& operator=(const TFile&) = delete;
    bool IsOpen() const { return Descriptor >= 0; }
    int Get() const { return Descriptor; }
    bool Close() {
        const bool closed = !IsOpen() || ::close(Descriptor) == 0;
        Descriptor = -1;
        return closed;
    }

private:
    int Descriptor;
};

// The old file's permissions, when there is one, go to the new one before a
// byte is written, so that its content is never readable by more people.
std::error_code WriteFlushed(const fs::path& temporary, std::string_view content,
                             const struct stat* old) {
    TFile file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!file.IsOpen()) {
        return LastError();
    }
    if (old != nullptr && ::fchmod(file.Get(), old->st_mode & 07777) != 0) {
        return LastError();
    }
    while (!content.empty()) {
        const ssize_t written = ::write(file.Get(), content.data(), content.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return LastError();
        }
        content.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(file.Get()) != 0 || !file.Close()) {
        return LastError();
    }
    return {};
}

// Makes the rename itself last; a folder that cannot be synced changes
// nothing of the result.
void SyncFolder(const fs::path& target) {
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    const TFile directory(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory.IsOpen()) {
        ::fsync(directory.Get());
    }
}

#endif

std::error_code Replace(const fs::path& target, std::string_view content) {
#ifdef _WIN32
    bool exists = false;
    if (const auto error = MayReplace(target, exists)) {
        return error;
    }
    const auto temporary = TemporaryPath(target);
    auto error = WriteFlushed(temporary, content);
    if (!error) {
        error = MoveOver(temporary, target, exists);
    }
#else
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (!exists && errno != ENOENT) {
        return LastError();
    }
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        return LastError();
    }
    const auto temporary = TemporaryPath(target);
    auto error = WriteFlushed(temporary, content, exists ? &old : nullptr);
    if (!error && ::rename(temporary.c_str(), target.c_str()) != 0) {
        error = LastError();
    }
    if (!error) {
        SyncFolder(target);
    }
#endif
    if (error) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
    }
    return error;
}

} // namespace

std::error_code ReplaceFileContent(const fs::path& path, std::string_view content) {
    return Replace(WriteTarget(path), content);
}

} // namespace ostrel
