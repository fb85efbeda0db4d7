// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsHttp.h"

#include "maps/CurlLibrary.h"

#include <algorithm>
#include <memory>
#include <string>

namespace ostrel {

namespace {

constexpr const char* UserAgent = "Ostrel";
constexpr long PollMilliseconds = 1000;

CURLM* MultiOf(void* multi) {
    return static_cast<CURLM*>(multi);
}

CURL* EasyOf(void* easy) {
    return static_cast<CURL*>(easy);
}

std::size_t KeepBody(char* data, std::size_t size, std::size_t count, void* body) {
    auto& text = *static_cast<std::string*>(body);
    const std::size_t bytes = size * count;
    // The rest is read and thrown away: the answer's start tells enough.
    if (text.size() < MaxReplyBody) {
        text.append(data, std::min(bytes, MaxReplyBody - text.size()));
    }
    return bytes;
}

// A no longer than 32-bit count of milliseconds, as curl takes it.
long Milliseconds(std::chrono::milliseconds time) {
    return static_cast<long>(std::min<std::chrono::milliseconds::rep>(time.count(), 0x7FFFFFFF));
}

} // namespace

THttpClient::THttpClient() : THttpClient(ProcessCurl()) {}

THttpClient::THttpClient(const TCurlLibrary& curl)
    : Curl(curl.Functions()), LoadFailure(curl.Failure()) {
    if (Curl == nullptr) {
        return;
    }
    Multi = Curl->MultiInit();
    Easy = Curl->EasyInit();
}

THttpClient::~THttpClient() {
    if (Easy != nullptr) {
        Curl->EasyCleanup(EasyOf(Easy));
    }
    if (Multi != nullptr) {
        Curl->MultiCleanup(MultiOf(Multi));
    }
}

void THttpClient::Wake() {
    if (Multi != nullptr) {
        Curl->MultiWakeup(MultiOf(Multi));
    }
}

void THttpClient::Wait(std::chrono::milliseconds time) {
    if (Multi != nullptr) {
        Curl->MultiPoll(MultiOf(Multi), nullptr, 0, static_cast<int>(Milliseconds(time)), nullptr);
    }
}

THttpReply THttpClient::Perform(const TMapsRequest& request, const THttpTimeouts& timeouts,
                                const std::function<bool()>& woken) {
    THttpReply reply;
    if (!Usable()) {
        reply.Failure = Curl == nullptr ? LoadFailure : "curl cannot be set up";
        return reply;
    }
    const TCurlFunctions& curl = *Curl;
    CURL* easy = EasyOf(Easy);
    CURLM* multi = MultiOf(Multi);
    char error[CURL_ERROR_SIZE] = "";
    // The same handle each time, so that the connection to the service
    // stays open from one minute to the next where the server lets it.
    curl.EasyReset(easy);
    curl.EasySetopt(easy, CURLOPT_URL, request.Url.c_str());
    curl.EasySetopt(easy, CURLOPT_ERRORBUFFER, error);
    curl.EasySetopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl.EasySetopt(easy, CURLOPT_USERAGENT, UserAgent);
    curl.EasySetopt(easy, CURLOPT_CONNECTTIMEOUT_MS, Milliseconds(timeouts.Connect));
    curl.EasySetopt(easy, CURLOPT_TIMEOUT_MS, Milliseconds(timeouts.Whole));
    curl.EasySetopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl.EasySetopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl.EasySetopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
#if LIBCURL_VERSION_NUM >= 0x075500
    curl.EasySetopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    curl.EasySetopt(easy, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl.EasySetopt(easy, CURLOPT_WRITEFUNCTION, KeepBody);
    curl.EasySetopt(easy, CURLOPT_WRITEDATA, &reply.Body);
    if (!request.Body.empty()) {
        curl.EasySetopt(easy, CURLOPT_POSTFIELDS, request.Body.c_str());
        curl.EasySetopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.Body.size()));
    }
    // Kept until the request has ended: curl reads the list while it sends.
    std::unique_ptr<curl_slist, decltype(curl.SlistFreeAll)> headers(nullptr, curl.SlistFreeAll);
    for (const std::string& header : request.Headers) {
        if (curl_slist* longer = curl.SlistAppend(headers.get(), header.c_str())) {
            headers.release();
            headers.reset(longer);
        }
    }
    if (headers) {
        curl.EasySetopt(easy, CURLOPT_HTTPHEADER, headers.get());
    }
    if (const CURLMcode added = curl.MultiAddHandle(multi, easy); added != CURLM_OK) {
        reply.Failure = curl.MultiStrerror(added);
        return reply;
    }
    CURLcode result = CURLE_OK;
    bool done = false;
    while (!done) {
        int running = 0;
        if (const CURLMcode code = curl.MultiPerform(multi, &running); code != CURLM_OK) {
            reply.Failure = curl.MultiStrerror(code);
            break;
        }
        int left = 0;
        while (const CURLMsg* message = curl.MultiInfoRead(multi, &left)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                done = true;
            }
        }
        if (done) {
            break;
        }
        curl.MultiPoll(multi, nullptr, 0, PollMilliseconds, nullptr);
        if (!woken()) {
            reply.Failure = AbandonedText;
            break;
        }
    }
    curl.MultiRemoveHandle(multi, easy);
    // Nothing of this call's stays with the handle.
    curl.EasySetopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    curl.EasySetopt(easy, CURLOPT_WRITEDATA, nullptr);
    if (!reply.Failure.empty()) {
        return reply;
    }
    if (result != CURLE_OK) {
        reply.Failure = error[0] != '\0' ? error : curl.EasyStrerror(result);
        return reply;
    }
    curl.EasyGetinfo(easy, CURLINFO_RESPONSE_CODE, &reply.Status);
    const char* type = nullptr;
    if (curl.EasyGetinfo(easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
        reply.ContentType = type;
    }
    return reply;
}

} // namespace ostrel
