// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The functions of libcurl that the maps call, bound at run time: a program
// whose settings send to no map never loads libcurl, nor what libcurl brings
// (TLS, name look-ups, compression: two dozen libraries).

#include "platform/DynamicLibrary.h"

#include <curl/curl.h>

#include <string>
#include <vector>

namespace ostrel {

struct TCurlFunctions {
    decltype(&curl_global_init) GlobalInit = nullptr;
    decltype(&curl_easy_init) EasyInit = nullptr;
    decltype(&curl_easy_cleanup) EasyCleanup = nullptr;
    decltype(&curl_easy_reset) EasyReset = nullptr;
    decltype(&curl_easy_setopt) EasySetopt = nullptr;
    decltype(&curl_easy_getinfo) EasyGetinfo = nullptr;
    decltype(&curl_easy_strerror) EasyStrerror = nullptr;
    decltype(&curl_multi_init) MultiInit = nullptr;
    decltype(&curl_multi_cleanup) MultiCleanup = nullptr;
    decltype(&curl_multi_add_handle) MultiAddHandle = nullptr;
    decltype(&curl_multi_remove_handle) MultiRemoveHandle = nullptr;
    decltype(&curl_multi_perform) MultiPerform = nullptr;
    decltype(&curl_multi_poll) MultiPoll = nullptr;
    decltype(&curl_multi_wakeup) MultiWakeup = nullptr;
    decltype(&curl_multi_info_read) MultiInfoRead = nullptr;
    decltype(&curl_multi_strerror) MultiStrerror = nullptr;
    decltype(&curl_slist_append) SlistAppend = nullptr;
    decltype(&curl_slist_free_all) SlistFreeAll = nullptr;
};

// libcurl's file names: the SONAME on Linux; on Windows the names that
// curl's own build and MSYS2's give the DLL.
std::vector<std::string> CurlLibraryNames();

// One libcurl, opened and bound; curl_global_init done once it is.
class TCurlLibrary {
public:
    // Opens the first of names that opens and binds every function.
    static TCurlLibrary Load(const std::vector<std::string>& names);

    // Null when the library did not open or lacks a function.
    const TCurlFunctions* Functions() const { return Bound ? &Table : nullptr; }
    // Why Functions() is null: "cannot load libcurl.so.4: <reason>".
    const std::string& Failure() const { return Why; }

private:
    TDynamicLibrary Library;
    TCurlFunctions Table;
    bool Bound = false;
    std::string Why;
};

// The process's libcurl, loaded by the first call, from any thread, and
// never unloaded: a thread left to end with the process may still use it.
const TCurlLibrary& ProcessCurl();

} // namespace ostrel
