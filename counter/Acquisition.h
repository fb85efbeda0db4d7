// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Connecting a counter, polling it every 100 ms and folding its readings into
// minute records while the chart and the log list grow.

#include "device/CounterDevice.h"
#include "platform/FormatSettings.h"
#include "records/LogOutput.h"
#include "records/MinuteRecords.h"
#include "views/DisplayViews.h"

#include <cstddef>
#include <cstdint>
#include <functional>

namespace ostrel {

// The main window's pieces that the loop reads and writes.
struct TAcquisitionTargets {
    TRecords& Records;
    TDisplayViews Views;
    const double& GraphCoefficient;
    const std::int32_t& GraphBackground;
};

class TAcquisition {
public:
    // More counters than this is nonsense from the library, not a fleet.
    static constexpr std::int32_t MaxCounters = 65536;
    // A library whose GetData never answers 0 must not hang the window: the
    // rest waits for the next tick. Large enough for any real backlog burst.
    static constexpr std::size_t MaxReadingsPerTick = 200000;

    TAcquisition(const TCounterEntryPoints& device, TAcquisitionTargets targets,
                 const TFormatSettings& formatSettings);

    void StartClick();
    void StopClick();
    void TimerTimer();

    bool TimerEnabled() const { return Enabled; }
    // The connected counter's identifier; 0 while none is.
    std::uint32_t DeviceId = 0;
    // Called whenever the 100 ms timer is switched on or off: after the
    // outputs hear of a counter connected, before they hear it is gone.
    std::function<void(bool enabled)> OnTimerSwitched;
    // Told of the counter connected and gone, of every finished minute and
    // of the end of a tick that finished any; not owned. None: nobody is.
    void ReportTo(TLogOutput* outputs) { Outputs = outputs; }

private:
    void SetTimerEnabled(bool enabled);
    void HandleReading(const TCounterSample& sample);
    void StartNewMinute(TDateTime key, std::uint16_t count, int lastPointIndex);

    const TCounterEntryPoints& Device;
    TAcquisitionTargets Targets;
    const TFormatSettings& Fs;
    bool Enabled = false;
    bool LinesAdded = false; // in the tick under way
    TLogOutput* Outputs = nullptr;
};

} // namespace ostrel
