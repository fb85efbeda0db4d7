// SPDX-License-Identifier: GPL-3.0-or-later
#include "outputs/Outputs.h"

#include "alarm/AlarmOutput.h"
#ifndef OSTREL_WITHOUT_INFLUX
#include "influx/InfluxOutput.h"
#endif
#include "journal/Journal.h"
#ifndef OSTREL_WITHOUT_MAPS
#include "maps/MapsServices.h"
#endif
#ifndef OSTREL_WITHOUT_MQTT
#include "mqtt/MqttPublisher.h"
#endif
#ifndef OSTREL_WITHOUT_HTTP
#include "http/HttpOutput.h"
#endif

#include <utility>

namespace ostrel {

TOutputSet MakeOutputs(TOutputContext context) {
    const TAlarmSettings alarm = ReadAlarmSection(context.SettingsPath);
    context.Alarm = alarm;
    TOutputSet set{{}, alarm};
    const auto add = [&set](std::unique_ptr<TLogOutput> output) {
        if (output) {
            set.Outputs.push_back(std::move(output));
        }
    };
    // A new output adds its factory here.
    add(MakeJournalOutput(context));
#ifndef OSTREL_WITHOUT_MQTT
    add(MakeMqttOutput(context));
#endif
    add(MakeAlarmOutput(alarm, context.StationName));
#ifndef OSTREL_WITHOUT_MAPS
    // The radiation maps, each on its own.
    add(MakeRadmonOutput(context));
    add(MakeGmcmapOutput(context));
    add(MakeSafecastOutput(context));
    add(MakeSensorCommunityOutput(context));
#endif
#ifndef OSTREL_WITHOUT_INFLUX
    add(MakeInfluxOutput(context));
#endif
#ifndef OSTREL_WITHOUT_HTTP
    // Last: it shows what the others count of their deliveries.
    add(MakeHttpOutput(context));
#endif
    return set;
}

} // namespace ostrel
