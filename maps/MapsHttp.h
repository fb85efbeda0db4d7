// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// One request at a time over libcurl, on the thread of one output, which
// another thread can wake at any moment: while a request is under way, and
// while the thread waits for its next one. TLS is verified as curl does by
// default, proxies come from the environment as curl takes them, and no
// redirection is followed. libcurl is loaded by the first client made.

#include "maps/MapsReply.h"
#include "maps/MapsRequests.h"
#include "maps/MapsSettings.h"

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

namespace ostrel {

class TCurlLibrary;
struct TCurlFunctions;

// The failure of a request given up because the thread is asked to end.
inline constexpr std::string_view AbandonedText = "abandoned";

class THttpClient {
public:
    // Over the process's libcurl, or over curl, which outlives the client.
    THttpClient();
    explicit THttpClient(const TCurlLibrary& curl);
    ~THttpClient();
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;

    // Whether curl could be loaded and set up; without it every request
    // fails, with the reason the library did not load where it did not.
    bool Usable() const { return Multi != nullptr && Easy != nullptr; }
    // From any thread: Wait and Perform look at their callback at once.
    void Wake();
    // Until the time has passed or Wake is called.
    void Wait(std::chrono::milliseconds time);
    // The request to its end, within the timeouts. Every wake and every
    // second, woken() is called; false abandons the request (a reply with
    // Failure AbandonedText).
    THttpReply Perform(const TMapsRequest& request, const THttpTimeouts& timeouts,
                       const std::function<bool()>& woken);

private:
    const TCurlFunctions* Curl = nullptr;
    std::string LoadFailure;
    void* Multi = nullptr;
    void* Easy = nullptr;
};

} // namespace ostrel
