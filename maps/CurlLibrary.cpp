// SPDX-License-Identifier: GPL-3.0-or-later
#include "maps/CurlLibrary.h"

#include <utility>

namespace ostrel {

std::vector<std::string> CurlLibraryNames() {
#ifdef _WIN32
    return {"libcurl-4.dll", "libcurl.dll"};
#else
    return {"libcurl.so.4"};
#endif
}

TCurlLibrary TCurlLibrary::Load(const std::vector<std::string>& names) {
    TCurlLibrary curl;
    curl.Library = OpenSystemLibrary(names, curl.Why);
    if (!curl.Library.IsOpen()) {
        return curl;
    }
    TCurlFunctions& table = curl.Table;
    TFunctionBinder bind(curl.Library);
    bind("curl_global_init", table.GlobalInit);
    bind("curl_easy_init", table.EasyInit);
    bind("curl_easy_cleanup", table.EasyCleanup);
    bind("curl_easy_reset", table.EasyReset);
    bind("curl_easy_setopt", table.EasySetopt);
    bind("curl_easy_getinfo", table.EasyGetinfo);
    bind("curl_easy_strerror", table.EasyStrerror);
    bind("curl_multi_init", table.MultiInit);
    bind("curl_multi_cleanup", table.MultiCleanup);
    bind("curl_multi_add_handle", table.MultiAddHandle);
    bind("curl_multi_remove_handle", table.MultiRemoveHandle);
    bind("curl_multi_perform", table.MultiPerform);
    bind("curl_multi_poll", table.MultiPoll);
    bind("curl_multi_wakeup", table.MultiWakeup);
    bind("curl_multi_info_read", table.MultiInfoRead);
    bind("curl_multi_strerror", table.MultiStrerror);
    bind("curl_slist_append", table.SlistAppend);
    bind("curl_slist_free_all", table.SlistFreeAll);
    if (bind.Missing() != nullptr) {
        // curl_multi_poll and curl_multi_wakeup came with 7.66 and 7.68.
        curl.Why = "cannot load " + names.front() + ": it has no " + bind.Missing();
        curl.Library.Close();
        return curl;
    }
    // Once per process, before any thread of ours uses curl; never undone,
    // as a thread left to end with the process may still hold a handle.
    table.GlobalInit(CURL_GLOBAL_DEFAULT);
    curl.Bound = true;
    return curl;
}

const TCurlLibrary& ProcessCurl() {
    // Never destroyed, so never closed at the process's end under a thread
    // that is still in a request.
    static const TCurlLibrary* const curl =
        new TCurlLibrary(TCurlLibrary::Load(CurlLibraryNames()));
    return *curl;
}

} // namespace ostrel
