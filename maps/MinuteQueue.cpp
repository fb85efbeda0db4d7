// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MinuteQueue.h"

#include "device/FileReplacement.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <fstream>
#include <sstream>
#include <system_error>

#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace ostrel {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view SentLine = "sent";
constexpr std::string_view DroppedLine = "dropped";
// A file of many taken lines is rewritten with the waiting ones only.
constexpr std::size_t RewriteAfter = 1024;

std::string SystemText(int error) {
    return std::generic_category().message(error);
}

} // namespace

TMinuteQueue::TMinuteQueue(const TQueueFormat& format, fs::path folder, std::size_t limit)
    : Format(format), Folder(std::move(folder)), Limit(limit) {}

TMinuteQueue::~TMinuteQueue() {
    CloseFile();
}

fs::path TMinuteQueue::File() const {
    return Folder.empty() ? fs::path() : Folder / Format.FileName;
}

std::vector<std::string> TMinuteQueue::Open() {
    std::vector<std::string> told;
    if (Folder.empty()) {
        return told;
    }
    std::error_code error;
    fs::create_directories(Folder, error);
    const fs::path lock = Folder / Format.LockName;
    // Two Ostrels at once must not send each other's minutes: the first
    // keeps the file, the second its minutes in memory.
    const TFileLock::TResult result = Lock.Take(lock, error);
    const bool taken = result == TFileLock::TResult::Taken;
    if (result == TFileLock::TResult::Busy) {
        told.push_back("another Ostrel keeps " + File().string() +
                       "; the minutes of this one are kept in memory only");
        return told;
    }
    if (!taken) {
        told.push_back("cannot use " + lock.string() + (error ? ": " + error.message() : "") +
                       "; the minutes are kept in memory only");
        return told;
    }
    OnDisk = true;
    std::ifstream in(File(), std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    const std::string text = bytes.str();
    std::size_t unreadable = 0;
    for (std::size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string_view line = std::string_view(text).substr(start, end - start);
        if (line == SentLine || line == DroppedLine) {
            if (!Waiting.empty()) {
                Waiting.pop_front();
            }
        } else if (Format.IsMinute(line)) {
            Waiting.emplace_back(line);
        } else {
            ++unreadable;
        }
    }
    if (unreadable > 0) {
        told.push_back(
            File().string() + ": " + std::to_string(unreadable) +
            (unreadable == 1 ? " line is no minute; it is" : " lines are no minutes; they are") +
            " left out");
    }
    Trim(told);
    if (!text.empty()) {
        Rewrite(told);
    }
    return told;
}

std::vector<std::string> TMinuteQueue::Add(const std::vector<std::string>& minutes) {
    std::vector<std::string> told;
    std::string lines;
    for (const std::string& minute : minutes) {
        Waiting.push_back(minute);
        lines += minute + "\n";
    }
    Append(lines, told);
    Trim(told);
    return told;
}

std::vector<std::string> TMinuteQueue::TakeFront(std::size_t count) {
    std::vector<std::string> told;
    count = std::min(count, Waiting.size());
    if (count == 0) {
        return told;
    }
    Waiting.erase(Waiting.begin(), Waiting.begin() + static_cast<std::ptrdiff_t>(count));
    DroppingTold = false;
    Taken += count;
    if (Waiting.empty() || Taken >= RewriteAfter) {
        Rewrite(told);
    } else {
        std::string lines;
        for (std::size_t k = 0; k < count; ++k) {
            lines += std::string(SentLine) + "\n";
        }
        Append(lines, told);
    }
    return told;
}

std::vector<std::string> TMinuteQueue::Hold(bool held) {
    Held = held;
    std::vector<std::string> told;
    Trim(told);
    return told;
}

void TMinuteQueue::Trim(std::vector<std::string>& told) {
    if (Held || Waiting.size() <= Limit) {
        return;
    }
    std::string lines;
    while (Waiting.size() > Limit) {
        if (!DroppingTold) {
            told.push_back("more than " + std::to_string(Limit) +
                           " minutes unsent; dropping the oldest, from " +
                           Format.Start(Waiting.front()));
            DroppingTold = true;
        }
        Waiting.pop_front();
        ++Taken;
        lines += std::string(DroppedLine) + "\n";
    }
    Append(lines, told);
}

bool TMinuteQueue::Append(std::string_view lines, std::vector<std::string>& told) {
    if (!OnDisk || lines.empty()) {
        return true;
    }
    if (!InSync) {
        return Rewrite(told);
    }
    if (Out == nullptr) {
#ifdef _WIN32
        Out = _wfopen(File().c_str(), L"ab");
#else
        Out = std::fopen(File().c_str(), "ab");
#endif
    }
    bool written = Out != nullptr &&
                   std::fwrite(lines.data(), 1, lines.size(), Out) == lines.size() &&
                   std::fflush(Out) == 0;
    // On the disk itself, so that a power cut keeps what was accepted.
#ifdef _WIN32
    written = written && _commit(_fileno(Out)) == 0;
#else
    written = written && ::fsync(::fileno(Out)) == 0;
#endif
    if (!written) {
        Failed(SystemText(errno), told);
    }
    return written;
}

bool TMinuteQueue::Rewrite(std::vector<std::string>& told) {
    if (!OnDisk) {
        return true;
    }
    // The file is replaced, so the one open for appending is another now.
    CloseFile();
    std::string content;
    for (const std::string& minute : Waiting) {
        content += minute + "\n";
    }
    if (const std::error_code error = ReplaceFileContent(File(), content)) {
        Failed(error.message(), told);
        return false;
    }
    InSync = true;
    FailureTold = false;
    Taken = 0;
    return true;
}

void TMinuteQueue::Failed(const std::string& what, std::vector<std::string>& told) {
    CloseFile();
    InSync = false;
    if (!FailureTold) {
        told.push_back("cannot write " + File().string() + ": " + what +
                       "; the minutes are kept in memory until it can");
        FailureTold = true;
    }
}

void TMinuteQueue::CloseFile() {
    if (Out != nullptr) {
        std::fclose(Out);
        Out = nullptr;
    }
}

} // namespace ostrel
