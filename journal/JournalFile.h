// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One journal file on the disk: made new (never an existing file, which may
// be another log's journal), appended to, and flushed to the disk itself.

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace ostrel {

enum class TCreateResult { Created, Exists, Failed };

class TJournalFile {
public:
    TJournalFile() = default;
    ~TJournalFile();
    TJournalFile(const TJournalFile&) = delete;
    TJournalFile& operator=(const TJournalFile&) = delete;

    bool IsOpen() const;
    // Makes path as a new, empty file and opens it for writing.
    TCreateResult CreateNew(const std::filesystem::path& path);
    // Writes bytes after what was written before, as far as the disk takes
    // them; returns how many it took (fewer than all on a failure).
    std::size_t Write(std::string_view bytes);
    // Waits until what was written is on the disk itself (fdatasync,
    // FlushFileBuffers), so that a power cut keeps it.
    bool SyncData();
    // Cuts the file back to size bytes.
    bool Truncate(std::uint64_t size);
    // The bytes written so far.
    std::uint64_t Size() const { return Written; }
    // The system's text for the last failure.
    const std::string& Error() const { return LastError; }

private:
    void Close();
    bool Fail();

#ifdef _WIN32
    void* Handle = nullptr;
#else
    int Descriptor = -1;
#endif
    std::uint64_t Written = 0;
    std::string LastError;
};

// Makes a new entry of folder durable, as a power cut must not take away a
// journal that was made and flushed.
void SyncFolder(const std::filesystem::path& folder);

} // namespace ostrel
