// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the live loop tells about each minute it finishes, at the moment it
// writes that minute's log line: the journal and the publishers listen here,
// so the window's views stay the only thing the loop itself writes.

#include "records/MinuteRecords.h"

#include <optional>
#include <string_view>

namespace ostrel {

struct TFinishedMinute {
    TMinuteRecord Record;           // the finished minute, with its final count
    std::optional<double> DoseRate; // the dose rate on its line, if the line has one
    std::string_view Line;          // the log line, exactly as the list shows it
    std::size_t Position = 0;       // the record's index in Records
};

// A listener of finished minutes. Neither call may throw: a listener that
// fails keeps its own error and reports it its own way.
class TFinishedMinuteSink {
public:
    virtual ~TFinishedMinuteSink() = default;
    // One call per finished minute, in the order the lines are written.
    virtual void MinuteFinished(const TFinishedMinute& minute) noexcept = 0;
    // Once at the end of every tick that finished at least one minute, after
    // its last MinuteFinished: the place for one flush per tick.
    virtual void TickEnded() noexcept {}
};

} // namespace ostrel
