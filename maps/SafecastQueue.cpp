// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/SafecastQueue.h"

#include "platform/TextServices.h"

#include <utility>

namespace ostrel {

namespace {

bool IsSafecastMinute(std::string_view line) {
    TQueuedMinute minute;
    return ReadQueueLine(line, minute);
}

std::string CapturedAtOf(std::string_view line) {
    return std::string(line.substr(0, line.find(',')));
}

constexpr TQueueFormat SafecastFormat{TSafecastQueue::FileName, TSafecastQueue::LockName,
                                      IsSafecastMinute, CapturedAtOf};

} // namespace

std::string QueueLine(const TQueuedMinute& minute) {
    return minute.CapturedAt + "," + FormatInt(minute.Count);
}

bool ReadQueueLine(std::string_view line, TQueuedMinute& minute) {
    const std::size_t comma = line.find(',');
    if (comma != 20 || line[19] != 'Z' || line[10] != 'T') {
        return false;
    }
    const std::string_view count = line.substr(comma + 1);
    if (count.empty() || count.size() > 9 ||
        count.find_first_not_of("0123456789") != std::string_view::npos) {
        return false;
    }
    minute.CapturedAt = std::string(line.substr(0, comma));
    minute.Count = static_cast<std::int32_t>(std::stol(std::string(count)));
    return true;
}

TSafecastQueue::TSafecastQueue(std::filesystem::path folder, std::size_t limit)
    : Queue(SafecastFormat, std::move(folder), limit) {}

std::vector<std::string> TSafecastQueue::Add(const std::vector<TQueuedMinute>& minutes) {
    std::vector<std::string> lines;
    lines.reserve(minutes.size());
    for (const TQueuedMinute& minute : minutes) {
        lines.push_back(QueueLine(minute));
    }
    return Refreshed(Queue.Add(lines));
}

std::vector<std::string> TSafecastQueue::Refreshed(std::vector<std::string> told) {
    Head.reset();
    TQueuedMinute minute;
    if (!Queue.Minutes().empty() && ReadQueueLine(Queue.Minutes().front(), minute)) {
        Head = std::move(minute);
    }
    return told;
}

} // namespace ostrel
