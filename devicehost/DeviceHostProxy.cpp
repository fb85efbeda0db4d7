// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicehost/DeviceHostProxy.h"

#include "platform/ChildProcess.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <utility>

namespace ostrel {

namespace {

// How long the host has to end after Clear (the library's own Clear may be
// slow to let go of the counter) before it is killed.
constexpr std::chrono::seconds HostEndTimeout{5};

// The one device host, which the eight entry points share; calls from more
// than one thread take turns.
struct THostLink {
    std::mutex Lock;
    TChildProcess Host;
    bool Broken = false;    // the host has gone, or answered out of turn
    bool GoneGiven = false; // GetData has delivered the end since
    std::int32_t Found = 0; // the device records the caller of GetInfo has room for
};

THostLink Link;

TDeviceRequest Request(TDeviceCall call, std::uint32_t id = 0) {
    TDeviceRequest request{};
    request.Magic = DeviceHostMagic;
    request.Call = call;
    request.Id = id;
    return request;
}

// One request and its reply; false, and the link broken for good, when the
// host has gone or answers something else.
bool Exchange(const TDeviceRequest& request, TDeviceReply& reply) {
    if (Link.Broken || !Link.Host.IsRunning()) {
        return false;
    }
    Link.Broken = !Link.Host.Write(&request, sizeof request) ||
                  !Link.Host.Read(&reply, sizeof reply) || reply.Magic != DeviceHostMagic ||
                  reply.Call != request.Call ||
                  reply.InfoCount > static_cast<std::uint32_t>(MaxHostedCounters);
    return !Link.Broken;
}

std::int32_t Call(const TDeviceRequest& request) {
    const std::lock_guard lock(Link.Lock);
    TDeviceReply reply{};
    return Exchange(request, reply) ? reply.Result : 0;
}

std::int32_t PEXLAR_CALL HostedFind() {
    const std::lock_guard lock(Link.Lock);
    TDeviceReply reply{};
    if (!Exchange(Request(TDeviceCall::Find), reply)) {
        return 0;
    }
    Link.Found = std::clamp(reply.Result, 0, MaxHostedCounters);
    return reply.Result;
}

std::int32_t PEXLAR_CALL HostedGetInfo(TDeviceInfo* infos) {
    const std::lock_guard lock(Link.Lock);
    TDeviceReply reply{};
    if (!Exchange(Request(TDeviceCall::GetInfo), reply)) {
        return 0;
    }
    // The caller made room for as many as Find reported; so did the host.
    TDeviceInfo info{};
    for (std::uint32_t i = 0; i < reply.InfoCount; ++i) {
        if (!Link.Host.Read(&info, sizeof info)) {
            Link.Broken = true;
            return 0;
        }
        if (infos != nullptr && i < static_cast<std::uint32_t>(Link.Found)) {
            infos[i] = info;
        }
    }
    return reply.Result;
}

std::int32_t PEXLAR_CALL HostedConnect(std::uint32_t id) {
    return Call(Request(TDeviceCall::Connect, id));
}

std::int32_t PEXLAR_CALL HostedDisconnect(std::uint32_t id) {
    return Call(Request(TDeviceCall::Disconnect, id));
}

std::int32_t PEXLAR_CALL HostedGetData(TCounterSample* sample) {
    const std::lock_guard lock(Link.Lock);
    TDeviceRequest request = Request(TDeviceCall::GetData);
    if (sample != nullptr) {
        request.Sample = *sample;
    }
    TDeviceReply reply{};
    if (Exchange(request, reply)) {
        if (sample != nullptr) {
            *sample = reply.Sample;
        }
        return reply.Result;
    }
    if (Link.GoneGiven || sample == nullptr) {
        return 0;
    }
    Link.GoneGiven = true;
    *sample = TCounterSample{};
    return 1;
}

std::int32_t PEXLAR_CALL HostedGetCoefficient(std::uint32_t id, std::uint16_t* coefficient,
                                              std::uint16_t* background) {
    const std::lock_guard lock(Link.Lock);
    TDeviceRequest request = Request(TDeviceCall::GetCoefficient, id);
    request.Coefficient = coefficient != nullptr ? *coefficient : 0;
    request.Background = background != nullptr ? *background : 0;
    TDeviceReply reply{};
    if (!Exchange(request, reply)) {
        return 0;
    }
    if (coefficient != nullptr) {
        *coefficient = reply.Coefficient;
    }
    if (background != nullptr) {
        *background = reply.Background;
    }
    return reply.Result;
}

std::int32_t PEXLAR_CALL HostedSetCoefficient(std::uint32_t id, std::uint16_t coefficient,
                                              std::uint16_t background) {
    TDeviceRequest request = Request(TDeviceCall::SetCoefficient, id);
    request.Coefficient = coefficient;
    request.Background = background;
    return Call(request);
}

// The library's last call: the host answers and ends, and is waited for.
std::int32_t PEXLAR_CALL HostedClear() {
    const std::lock_guard lock(Link.Lock);
    const TDeviceRequest request = Request(TDeviceCall::Clear);
    const bool asked = !Link.Broken && Link.Host.Write(&request, sizeof request);
    Link.Host.Finish(HostEndTimeout);
    TDeviceReply reply{};
    const bool answered = asked && Link.Host.Read(&reply, sizeof reply) &&
                          reply.Magic == DeviceHostMagic && reply.Call == TDeviceCall::Clear;
    Link.Host = TChildProcess();
    Link.Broken = false;
    Link.GoneGiven = false;
    Link.Found = 0;
    return answered ? reply.Result : 0;
}

} // namespace

THostedLoad LoadHostedCounterLibrary(const std::string& hostFile, const std::string& libraryFile,
                                     TCounterEntryPoints& entries) {
    const std::lock_guard lock(Link.Lock);
    if (Link.Host.IsRunning()) {
        return THostedLoad::NotOpened;
    }
    // A host that is not there, or that ends at once (a 32-bit program where
    // the system runs none), sends no hello; it is collected on return.
    TChildProcess host = TChildProcess::Start(hostFile, {libraryFile});
    TDeviceReply hello{};
    if (!host.IsRunning() || !host.Read(&hello, sizeof hello) || hello.Magic != DeviceHostMagic ||
        hello.Call != TDeviceCall::Hello) {
        return THostedLoad::NotOpened;
    }
    const auto load = static_cast<THostedLoad>(hello.Result);
    if (load != THostedLoad::Bound) {
        return load == THostedLoad::Incomplete ? THostedLoad::Incomplete : THostedLoad::NotOpened;
    }
    Link.Host = std::move(host);
    Link.Broken = false;
    Link.GoneGiven = false;
    Link.Found = 0;
    entries = TCounterEntryPoints{
        .Find = &HostedFind,
        .GetInfo = &HostedGetInfo,
        .Connect = &HostedConnect,
        .Disconnect = &HostedDisconnect,
        .GetData = &HostedGetData,
        .GetCoefficient = &HostedGetCoefficient,
        .SetCoefficient = &HostedSetCoefficient,
        .Clear = &HostedClear,
    };
    return THostedLoad::Bound;
}

long DeviceHostProcessId() {
    const std::lock_guard lock(Link.Lock);
    return Link.Host.IsRunning() ? Link.Host.ProcessId() : 0;
}

} // namespace ostrel
