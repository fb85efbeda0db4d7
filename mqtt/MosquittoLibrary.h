// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The functions of libmosquitto that MQTT publishing calls, bound at run
// time: a program whose settings name no broker never loads libmosquitto,
// nor the TLS libraries it brings.

#include "platform/DynamicLibrary.h"

#include <mosquitto.h>

#include <string>
#include <vector>

namespace ostrel {

struct TMosquittoFunctions {
    decltype(&mosquitto_lib_init) LibInit = nullptr;
    decltype(&mosquitto_strerror) Strerror = nullptr;
    decltype(&mosquitto_connack_string) ConnackString = nullptr;
    decltype(&mosquitto_new) New = nullptr;
    decltype(&mosquitto_destroy) Destroy = nullptr;
    decltype(&mosquitto_connect_callback_set) ConnectCallbackSet = nullptr;
    decltype(&mosquitto_publish_callback_set) PublishCallbackSet = nullptr;
    decltype(&mosquitto_will_set) WillSet = nullptr;
    decltype(&mosquitto_username_pw_set) UsernamePwSet = nullptr;
    decltype(&mosquitto_tls_set) TlsSet = nullptr;
    decltype(&mosquitto_connect) Connect = nullptr;
    decltype(&mosquitto_loop) Loop = nullptr;
    decltype(&mosquitto_publish) Publish = nullptr;
    decltype(&mosquitto_disconnect) Disconnect = nullptr;
};

// libmosquitto's file names: the SONAME on Linux, the project's DLL on
// Windows.
std::vector<std::string> MosquittoLibraryNames();

// One libmosquitto, opened and bound; mosquitto_lib_init done once it is.
class TMosquittoLibrary {
public:
    // Opens the first of names that opens and binds every function.
    static TMosquittoLibrary Load(const std::vector<std::string>& names);

    // Null when the library did not open or lacks a function.
    const TMosquittoFunctions* Functions() const { return Bound ? &Table : nullptr; }
    // Why Functions() is null: "cannot load libmosquitto.so.1: <reason>".
    const std::string& Failure() const { return Why; }

private:
    TDynamicLibrary Library;
    TMosquittoFunctions Table;
    bool Bound = false;
    std::string Why;
};

// The process's libmosquitto, loaded by the first call, from any thread, and
// never unloaded: a thread left to end with the process may still use it.
const TMosquittoLibrary& ProcessMosquitto();

} // namespace ostrel
