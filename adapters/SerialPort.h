// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A serial port as the adapters see it: bytes in without waiting, a few bytes
// out, and the news that the port has vanished. A termios version for POSIX
// systems and one for Windows' COM ports; tests put scripted ports and
// pseudo-terminals in their place.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace ostrel::adapters {

enum class TReadStatus {
    Open, // the port is there (whether or not bytes came)
    Gone  // unplugged, hung up or failing: nothing more will come
};

class TSerialPort {
public:
    virtual ~TSerialPort() = default;

    // Appends the bytes that have arrived and returns at once.
    virtual TReadStatus Read(std::string& into) = 0;

    // Waits up to the given time for bytes (or for the port to vanish); true
    // when Read has something to tell.
    virtual bool WaitForInput(int milliseconds) = 0;

    // Sends a short command whole; false when it could not be sent.
    virtual bool Write(std::string_view bytes) = 0;

    // Forgets bytes received but not yet read.
    virtual void DiscardInput() = 0;

    // Why Read last answered Gone, as the system says it.
    virtual std::string GoneReason() const = 0;
};

struct TOpenResult {
    std::unique_ptr<TSerialPort> Port; // null on failure
    std::string Error;                 // why not, for the user
    std::string Advice;                // what the user can do about it, or empty
};

// Opens a serial port for exclusive use, raw 8N1 without flow control, at
// the given rate. On Windows the path is a port name such as "COM3".
TOpenResult OpenSerialPort(const std::string& path, int baud);

// The rates OpenSerialPort can set, lowest first.
std::vector<int> SupportedBauds();
bool IsSupportedBaud(int baud);

// The name Windows opens a COM port by: "COM12" is "\\.\COM12" (the bare
// name works only up to COM9). A name that already begins with two
// backslashes is a device path and is kept.
std::string ComDevicePath(std::string_view name);

// COM port names in number order (COM2 before COM10, the letters' case
// aside), each once; names that are not COM and a number come last, by name.
std::vector<std::string> ComPortsInOrder(std::vector<std::string> names);

#ifdef _WIN32
// The COM ports present, as Windows lists them under
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, in number order.
std::vector<std::string> PresentComPorts();
#endif

} // namespace ostrel::adapters
