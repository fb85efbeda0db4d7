// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A scripted counter library behind the entry-point table: it records every
// call in order and hands out the readings queued by the test.

#include "device/CounterDevice.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace ostrel::test {

struct TFakeDevice {
    std::int32_t FindResult = 1;
    std::vector<std::uint32_t> Ids{0x1234};
    std::deque<TCounterSample> Pending;
    std::vector<std::string> Calls;
    std::uint16_t Coefficient = 158;
    std::uint16_t Background = 0;
    bool EndlessData = false; // GetData never answers 0

    static inline TFakeDevice* Current = nullptr;

    TFakeDevice() { Current = this; }
    ~TFakeDevice() { Current = nullptr; }
    TFakeDevice(const TFakeDevice&) = delete;
    TFakeDevice& operator=(const TFakeDevice&) = delete;

    void Queue(std::uint16_t year, std::uint16_t month, std::uint16_t day, std::uint16_t hour,
               std::uint16_t minute, std::uint16_t second, std::uint16_t count,
               std::uint16_t ms = 0) {
        TCounterSample s{};
        s.Time = {year, month, 0, day, hour, minute, second, ms};
        s.Count = count;
        Pending.push_back(s);
    }
    void QueueGone() { Queue(0, 0, 0, 0, 0, 0, 0); }

    // Plain functions rather than lambdas: on 32-bit Windows the entry points
    // are stdcall, to which GCC converts no lambda.
    TCounterEntryPoints EntryPoints() const {
        return {&Find,    &GetInfo,        &Connect,        &Disconnect,
                &GetData, &GetCoefficient, &SetCoefficient, &Clear};
    }

    // The calls made so far, then forgets them.
    std::vector<std::string> TakeCalls() {
        std::vector<std::string> calls;
        calls.swap(Calls);
        return calls;
    }

private:
    static void Log(std::string call) { Current->Calls.push_back(std::move(call)); }

    static std::int32_t PEXLAR_CALL Find() { return Log("Find"), Current->FindResult; }
    static std::int32_t PEXLAR_CALL GetInfo(TDeviceInfo* infos) {
        Log("GetInfo");
        for (std::size_t i = 0;
             i < Current->Ids.size() && static_cast<std::int32_t>(i) < Current->FindResult; ++i) {
            infos[i].Id = Current->Ids[i];
        }
        return 1;
    }
    static std::int32_t PEXLAR_CALL Connect(std::uint32_t id) {
        return Log("Connect " + std::to_string(id)), 1;
    }
    static std::int32_t PEXLAR_CALL Disconnect(std::uint32_t id) {
        return Log("Disconnect " + std::to_string(id)), 1;
    }
    static std::int32_t PEXLAR_CALL GetData(TCounterSample* sample) {
        Log("GetData");
        if (Current->EndlessData) {
            *sample = Current->Pending.front();
            return 1;
        }
        if (Current->Pending.empty()) {
            return 0;
        }
        *sample = Current->Pending.front();
        Current->Pending.pop_front();
        return 1;
    }
    static std::int32_t PEXLAR_CALL GetCoefficient(std::uint32_t id, std::uint16_t* c,
                                                   std::uint16_t* b) {
        Log("GetCoefficient " + std::to_string(id));
        *c = Current->Coefficient;
        *b = Current->Background;
        return 1;
    }
    static std::int32_t PEXLAR_CALL SetCoefficient(std::uint32_t id, std::uint16_t c,
                                                   std::uint16_t b) {
        Log("SetCoefficient " + std::to_string(id) + " " + std::to_string(c) + " " +
            std::to_string(b));
        Current->Coefficient = c;
        Current->Background = b;
        return 1;
    }
    static std::int32_t PEXLAR_CALL Clear() { return Log("Clear"), 1; }
};

} // namespace ostrel::test
