// SPDX-License-Identifier: GPL-3.0-or-later
#include "journal/JournalFile.h"

#include <algorithm>
#include <system_error>

#ifdef _WIN32
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>
#endif

namespace ostrel {

#ifdef _WIN32

namespace {

// The system's own text for a Windows error code, as UTF-8.
std::string SystemText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text;
    if (length > 0) {
        const int bytes =
            WideCharToMultiByte(CP_UTF8, 0, buffer, int(length), nullptr, 0, nullptr, nullptr);
        text.resize(std::size_t(bytes));
        WideCharToMultiByte(CP_UTF8, 0, buffer, int(length), text.data(), bytes, nullptr, nullptr);
    }
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text;
}

} // namespace

TJournalFile::~TJournalFile() {
    Close();
}

bool TJournalFile::IsOpen() const {
    return Handle != nullptr;
}

void TJournalFile::Close() {
    if (Handle != nullptr) {
        CloseHandle(Handle);
        Handle = nullptr;
    }
}

bool TJournalFile::Fail() {
    LastError = SystemText(GetLastError());
    return false;
}

TCreateResult TJournalFile::CreateNew(const std::filesystem::path& path) {
    Close();
    // Others may read the journal while it grows: the user opens it.
    const HANDLE handle = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                      CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        LastError = SystemText(code);
        return code == ERROR_FILE_EXISTS ? TCreateResult::Exists : TCreateResult::Failed;
    }
    Handle = handle;
    Written = 0;
    return TCreateResult::Created;
}

std::size_t TJournalFile::Write(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = DWORD(std::min<std::size_t>(bytes.size() - done, 1u << 30));
        DWORD wrote = 0;
        if (!WriteFile(Handle, bytes.data() + done, chunk, &wrote, nullptr) || wrote == 0) {
            Fail();
            break;
        }
        done += wrote;
    }
    Written += done;
    return done;
}

bool TJournalFile::SyncData() {
    return FlushFileBuffers(Handle) ? true : Fail();
}

bool TJournalFile::Truncate(std::uint64_t size) {
    LARGE_INTEGER at;
    at.QuadPart = LONGLONG(size);
    if (!SetFilePointerEx(Handle, at, nullptr, FILE_BEGIN) || !SetEndOfFile(Handle)) {
        return Fail();
    }
    Written = size;
    return true;
}

void SyncFolder(const std::filesystem::path&) {
    // NTFS keeps a new file's name in its own log; flushing the file is enough.
}

#else

TJournalFile::~TJournalFile() {
    Close();
}

bool TJournalFile::IsOpen() const {
    return Descriptor >= 0;
}

void TJournalFile::Close() {
    if (Descriptor >= 0) {
        ::close(Descriptor);
        Descriptor = -1;
    }
}

bool TJournalFile::Fail() {
    LastError = std::generic_category().message(errno);
    return false;
}

TCreateResult TJournalFile::CreateNew(const std::filesystem::path& path) {
    Close();
    const int descriptor =
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_CLOEXEC, 0666);
    if (descriptor < 0) {
        const int code = errno;
        Fail();
        return code == EEXIST ? TCreateResult::Exists : TCreateResult::Failed;
    }
    Descriptor = descriptor;
    Written = 0;
    return TCreateResult::Created;
}

std::size_t TJournalFile::Write(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t wrote = ::write(Descriptor, bytes.data() + done, bytes.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            // A write that meets a full disk takes what fits without an
            // error; the next one says why it takes no more.
            if (wrote == 0) {
                errno = ENOSPC;
            }
            Fail();
            break;
        }
        done += std::size_t(wrote);
    }
    Written += done;
    return done;
}

bool TJournalFile::SyncData() {
    while (::fdatasync(Descriptor) != 0) {
        if (errno != EINTR) {
            return Fail();
        }
    }
    return true;
}

bool TJournalFile::Truncate(std::uint64_t size) {
    if (::ftruncate(Descriptor, off_t(size)) != 0) {
        return Fail();
    }
    Written = size;
    return true;
}

void SyncFolder(const std::filesystem::path& folder) {
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor >= 0) {
        ::fsync(descriptor);
        ::close(descriptor);
    }
}

#endif

} // namespace ostrel
