// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputs/Outputs.h"

#include "alarm/AlarmOutput.h"
#include "journal/Journal.h"
#ifndef OSTREL_WITHOUT_MAPS
#include "maps/MapsServices.h"
#endif
#ifndef OSTREL_WITHOUT_MQTT
#include "mqtt/MqttPublisher.h"
#endif

namespace ostrel {

namespace {

using TOutputFactory = std::unique_ptr<TLogOutput> (*)(const TOutputContext&);

// A new output adds its factory here.
constexpr TOutputFactory Factories[] = {
    MakeJournalOutput,
#ifndef OSTREL_WITHOUT_MQTT
    MakeMqttOutput,
#endif
    MakeAlarmOutput,
#ifndef OSTREL_WITHOUT_MAPS
    // The radiation maps, each on its own.
    MakeRadmonOutput,
    MakeGmcmapOutput,
    MakeSafecastOutput,
#endif
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
