// SPDX-License-Identifier: GPL-3.0-or-later
#include "devicehost/DeviceHostServer.h"

#include "devicehost/EntryPointBinding.h"
#include "platform/DynamicLibrary.h"

#include <algorithm>
#include <vector>

namespace ostrel {

namespace {

TDeviceReply Reply(TDeviceCall call) {
    TDeviceReply reply{};
    reply.Magic = DeviceHostMagic;
    reply.Call = call;
    return reply;
}

} // namespace

int ServeCounterLibrary(const std::string& path, TPipeChannel& pipe) {
    const TDynamicLibrary library = TDynamicLibrary::Open(path);
    TCounterEntryPoints entries;
    THostedLoad load = THostedLoad::NotOpened;
    if (library.IsOpen()) {
        const bool complete = BindCounterEntryPoints(
            [&library](const char* name) { return library.Symbol(name); }, entries);
        load = complete ? THostedLoad::Bound : THostedLoad::Incomplete;
    }
    // The program's loader calls Clear of an incomplete library as its one call.
    if (load == THostedLoad::Incomplete && entries.Clear != nullptr) {
        entries.Clear();
    }
    return ServeEntryPoints(entries, load, pipe);
}

int ServeEntryPoints(const TCounterEntryPoints& entries, THostedLoad load, TPipeChannel& pipe) {
    TDeviceReply hello = Reply(TDeviceCall::Hello);
    hello.Result = static_cast<std::int32_t>(load);
    if (!pipe.Write(&hello, sizeof hello) || load != THostedLoad::Bound) {
        return 1;
    }
    // GetInfo fills as many records as the last Find reported, and at least
    // one; they start zeroed, as the program's own do.
    std::int32_t found = 0;
    std::vector<TDeviceInfo> infos;
    TDeviceRequest request{};
    while (pipe.Read(&request, sizeof request) && request.Magic == DeviceHostMagic) {
        TDeviceReply reply = Reply(request.Call);
        switch (request.Call) {
        case TDeviceCall::Find:
            reply.Result = entries.Find();
            found = std::clamp(reply.Result, 0, MaxHostedCounters);
            break;
        case TDeviceCall::GetInfo:
            infos.assign(static_cast<std::size_t>(std::max(found, 1)), TDeviceInfo{});
            reply.Result = entries.GetInfo(infos.data());
            reply.InfoCount = static_cast<std::uint32_t>(found);
            break;
        case TDeviceCall::Connect:
            reply.Result = entries.Connect(request.Id);
            break;
        case TDeviceCall::Disconnect:
            reply.Result = entries.Disconnect(request.Id);
            break;
        case TDeviceCall::GetData:
            reply.Sample = request.Sample;
            reply.Result = entries.GetData(&reply.Sample);
            break;
        case TDeviceCall::GetCoefficient:
            reply.Coefficient = request.Coefficient;
            reply.Background = request.Background;
            reply.Result =
                entries.GetCoefficient(request.Id, &reply.Coefficient, &reply.Background);
            break;
        case TDeviceCall::SetCoefficient:
            reply.Result =
                entries.SetCoefficient(request.Id, request.Coefficient, request.Background);
            break;
        case TDeviceCall::Clear:
            reply.Result = entries.Clear();
            pipe.Write(&reply, sizeof reply);
            return 0;
        default:
            // Not the program's messages: nothing more can be understood.
            entries.Clear();
            return 1;
        }
        if (!pipe.Write(&reply, sizeof reply) ||
            !pipe.Write(infos.data(), reply.InfoCount * sizeof(TDeviceInfo))) {
            break;
        }
    }
    // The program has gone without its Clear: the library's last call comes
    // from here, so that it lets go of the counter.
    entries.Clear();
    return 1;
}

} // namespace ostrel
