// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// An exclusive lock on a file, which the system lets go when the process
// ends, however it ends: how one run of the program at a time keeps what a
// folder holds (the journals' marker, the minutes waiting for a service).

#include <filesystem>
#include <system_error>

namespace ostrel {

class TFileLock {
public:
    enum class TResult {
        Taken,
        Busy,   // another process holds it
        Failed, // the file cannot be made or opened
    };

    TFileLock() = default;
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // Makes path when it is missing and takes it without waiting; what went
    // wrong, when it failed, in error.
    TResult Take(const std::filesystem::path& path, std::error_code& error);
    bool Held() const;

private:
#ifdef _WIN32
    void* Handle = nullptr;
#else
    int Descriptor = -1;
#endif
};

} // namespace ostrel
