// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The HTTP server of the HTTP output: the live page, its stream of
// minutes, the Prometheus metrics and the minutes API, answered from a
// thread of its own and a pool of workers, never from the logger's. Only
// GET and HEAD; nothing is read from the disk.

#include "http/HttpBoard.h"
#include "http/HttpSettings.h"
#include "records/DeliveryCounters.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace ostrel {

// What one client may take of the server, so that a slow or hostile one
// leaves the others room.
struct THttpLimits {
    std::size_t HeadBytes = 8192;                 // the request line and headers together
    std::size_t Workers = 48;                     // requests answered at once
    std::size_t PerClient = 6;                    // of them from one address beyond this machine
    std::size_t Streams = 32;                     // live streams at once, each holding a worker
    std::chrono::milliseconds RequestTime{10000}; // to send the whole request head
    std::chrono::milliseconds WriteTime{10000};   // to take each part of an answer
};

struct THttpServerSetup {
    THttpSettings Settings; // port 0: one the system chooses
    std::string Version;
    std::string Station;
    THttpLimits Limits;
};

class THttpServer {
public:
    THttpServer(THttpServerSetup setup, std::shared_ptr<THttpBoard> board,
                std::shared_ptr<TDeliveryBoard> deliveries);
    // Stops, as Stop does.
    ~THttpServer();
    THttpServer(const THttpServer&) = delete;
    THttpServer& operator=(const THttpServer&) = delete;

    // Binds the address and starts answering on a thread of its own: "",
    // or why it cannot ("cannot listen on 127.0.0.1:8080").
    std::string Start();
    // The port it listens on.
    int Port() const;
    // Ends every stream and waits for the requests under way.
    void Stop();

    struct TImpl;

private:
    std::unique_ptr<TImpl> Impl;
};

} // namespace ostrel
