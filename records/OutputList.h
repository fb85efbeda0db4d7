// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The one teller of the outputs: the logging session tells it what happens,
// it works out what each minute (or opened log) means once, and tells every
// output in turn, in the order they were given.

#include "records/LogOutput.h"
#include "records/MinuteInstants.h"
#include "records/MinuteMeaning.h"
#include "records/MinuteRecords.h"

#include <memory>
#include <optional>
#include <utility>

namespace ostrel {

class TOutputList final : public TLogOutput {
public:
    // records: the session's, which the minutes told are positions in; they
    // must outlive the list.
    TOutputList(const TRecords& records, TLogOutputs outputs, const TAlarmLevels& alarm)
        : Records(records), Outputs(std::move(outputs)), Meaning(alarm) {}

    void LogBegan() noexcept override;
    void LogOpened(const TOpenedLog& log) noexcept override;
    void DoseRatesChanged(const TOpenedLog& log) noexcept override;
    void CounterConnected(std::uint32_t deviceId) noexcept override;
    void CounterGone() noexcept override;
    void MinuteFinished(const TFinishedMinute& minute) noexcept override;
    void TickEnded() noexcept override;
    void ProgramEnding() noexcept override;
    // The first output's that kept one.
    std::optional<TLeftLog> LeftLog() const noexcept override;

    // Closes every output, in the order given; none is told anything after.
    void Close() noexcept { Outputs.clear(); }

    // The output of that type, if one is in use.
    template <typename TOutput> TOutput* Find() const {
        for (const auto& output : Outputs) {
            if (auto* found = dynamic_cast<TOutput*>(output.get())) {
                return found;
            }
        }
        return nullptr;
    }

private:
    template <typename TCall> void Tell(const TCall& call) noexcept {
        for (const auto& output : Outputs) {
            call(*output);
        }
    }

    const TRecords& Records;
    TLogOutputs Outputs;
    TLogMeaning Meaning;
    TMinuteInstants Instants;
};

} // namespace ostrel
