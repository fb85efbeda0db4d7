// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/MapsHttp.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>
#include <string>

namespace ostrel {

namespace {

constexpr const char* UserAgent = "Ostrel";
constexpr long PollMilliseconds = 1000;

void InitLibrary() {
    // Once per process, before any thread of ours uses curl; never undone,
    // as a thread left to end with the process may still hold a handle.
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

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

THttpClient::THttpClient() {
    InitLibrary();
    Multi = curl_multi_init();
    Easy = curl_easy_init();
}

THttpClient::~THttpClient() {
    if (Easy != nullptr) {
        curl_easy_cleanup(EasyOf(Easy));
    }
    if (Multi != nullptr) {
        curl_multi_cleanup(MultiOf(Multi));
    }
}

void THttpClient::Wake() {
    if (Multi != nullptr) {
        curl_multi_wakeup(MultiOf(Multi));
    }
}

void THttpClient::Wait(std::chrono::milliseconds time) {
    if (Multi != nullptr) {
        curl_multi_poll(MultiOf(Multi), nullptr, 0, static_cast<int>(Milliseconds(time)), nullptr);
    }
}

THttpReply THttpClient::Perform(const TMapsRequest& request, const THttpTimeouts& timeouts,
                                const std::function<bool()>& woken) {
    THttpReply reply;
    if (!Usable()) {
        reply.Failure = "curl cannot be set up";
        return reply;
    }
    CURL* easy = EasyOf(Easy);
    CURLM* multi = MultiOf(Multi);
    char error[CURL_ERROR_SIZE] = "";
    // The same handle each time, so that the connection to the service
    // stays open from one minute to the next where the server lets it.
    curl_easy_reset(easy);
    curl_easy_setopt(easy, CURLOPT_URL, request.Url.c_str());
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, error);
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, UserAgent);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, Milliseconds(timeouts.Connect));
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, Milliseconds(timeouts.Whole));
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
#else
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_HTTP | CURLPROTO_HTTPS));
#endif
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, KeepBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &reply.Body);
    if (!request.Body.empty()) {
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, request.Body.c_str());
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(request.Body.size()));
    }
    if (const CURLMcode added = curl_multi_add_handle(multi, easy); added != CURLM_OK) {
        reply.Failure = curl_multi_strerror(added);
        return reply;
    }
    CURLcode result = CURLE_OK;
    bool done = false;
    while (!done) {
        int running = 0;
        if (const CURLMcode code = curl_multi_perform(multi, &running); code != CURLM_OK) {
            reply.Failure = curl_multi_strerror(code);
            break;
        }
        int left = 0;
        while (const CURLMsg* message = curl_multi_info_read(multi, &left)) {
            if (message->msg == CURLMSG_DONE) {
                result = message->data.result;
                done = true;
            }
        }
        if (done) {
            break;
        }
        curl_multi_poll(multi, nullptr, 0, PollMilliseconds, nullptr);
        if (!woken()) {
            reply.Failure = AbandonedText;
            break;
        }
    }
    curl_multi_remove_handle(multi, easy);
    // Nothing of this call's stays with the handle.
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, nullptr);
    if (!reply.Failure.empty()) {
        return reply;
    }
    if (result != CURLE_OK) {
        reply.Failure = error[0] != '\0' ? error : curl_easy_strerror(result);
        return reply;
    }
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &reply.Status);
    const char* type = nullptr;
    if (curl_easy_getinfo(easy, CURLINFO_CONTENT_TYPE, &type) == CURLE_OK && type != nullptr) {
        reply.ContentType = type;
    }
    return reply;
}

} // namespace ostrel
