// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Failures are exceptions carrying the text the user sees (UTF-8).

#include <stdexcept>
#include <string>

namespace ostrel {

// Base of every failure that the program reports in its error box.
class Exception : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A value that cannot be turned into a date, time or number.
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// A file that cannot be opened, created, read or written.
class EFileError : public Exception {
public:
    using Exception::Exception;
};

// Bad data or a bad answer from the counter's device library.
class EDeviceError : public Exception {
public:
    using Exception::Exception;
};

} // namespace ostrel
