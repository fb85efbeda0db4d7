// SPDX-License-Identifier: GPL-3.0-or-later
#include "mqtt/MosquittoLibrary.h"

namespace ostrel {

std::vector<std::string> MosquittoLibraryNames() {
#ifdef _WIN32
    return {"mosquitto.dll"};
#else
    return {"libmosquitto.so.1"};
#endif
}

TMosquittoLibrary TMosquittoLibrary::Load(const std::vector<std::string>& names) {
    TMosquittoLibrary mosquitto;
    mosquitto.Library = OpenSystemLibrary(names, mosquitto.Why);
    if (!mosquitto.Library.IsOpen()) {
        return mosquitto;
    }
    TMosquittoFunctions& table = mosquitto.Table;
    TFunctionBinder bind(mosquitto.Library);
    bind("mosquitto_lib_init", table.LibInit);
    bind("mosquitto_strerror", table.Strerror);
    bind("mosquitto_connack_string", table.ConnackString);
    bind("mosquitto_new", table.New);
    bind("mosquitto_destroy", table.Destroy);
    bind("mosquitto_connect_callback_set", table.ConnectCallbackSet);
    bind("mosquitto_publish_callback_set", table.PublishCallbackSet);
    bind("mosquitto_will_set", table.WillSet);
    bind("mosquitto_username_pw_set", table.UsernamePwSet);
    bind("mosquitto_tls_set", table.TlsSet);
    bind("mosquitto_connect", table.Connect);
    bind("mosquitto_loop", table.Loop);
    bind("mosquitto_publish", table.Publish);
    bind("mosquitto_disconnect", table.Disconnect);
    if (bind.Missing() != nullptr) {
        mosquitto.Why = "cannot load " + names.front() + ": it has no " + bind.Missing();
        mosquitto.Library.Close();
        return mosquitto;
    }
    table.LibInit();
    mosquitto.Bound = true;
    return mosquitto;
}

const TMosquittoLibrary& ProcessMosquitto() {
    // Never destroyed, so never closed at the process's end under a thread
    // still stuck in a connect.
    static const TMosquittoLibrary* const mosquitto =
        new TMosquittoLibrary(TMosquittoLibrary::Load(MosquittoLibraryNames()));
    return *mosquitto;
}

} // namespace ostrel
