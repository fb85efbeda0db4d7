// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputs/Outputs.h"

#include "alarm/AlarmOutput.h"
#include "journal/Journal.h"
#include "maps/MapsServices.h"
#include "mqtt/MqttPublisher.h"

namespace ostrel {

namespace {

using TOutputFactory = std::unique_ptr<TLogOutput> (*)(const TOutputContext&);

// A new output adds its factory here.
constexpr TOutputFactory Factories[] = {
    MakeJournalOutput,
    MakeMqttOutput,
    MakeAlarmOutput,
    // The radiation maps, each on its own.
    MakeRadmonOutput,
    MakeGmcmapOutput,
    MakeSafecastOutput,
};

} // namespace

TLogOutputs MakeOutputs(const TOutputContext& context) {
    TLogOutputs outputs;
    for (const TOutputFactory make : Factories) {
        if (std::unique_ptr<TLogOutput> output = make(context)) {
            outputs.push_back(std::move(output));
        }
    }
    return outputs;
}

} // namespace ostrel
