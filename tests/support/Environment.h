// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Setting and clearing the process's environment variables in a test, on
// POSIX systems and on Windows alike (whose C library has no setenv).

#include <QByteArray>
#include <QtGlobal>

#include <string>

namespace ostrel::test {

inline void SetEnv(const char* name, const std::string& value) {
    qputenv(name, QByteArray::fromStdString(value));
}

inline void UnsetEnv(const char* name) {
    qunsetenv(name);
}

} // namespace ostrel::test
