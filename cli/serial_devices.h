// The serial devices of this machine, found by name alone: no device is opened, configured or
// even looked at with stat. For a usage error and a missing device.
#pragma once

#include <string>
#include <vector>

// "/dev/ttyUSB0", and "/dev/serial/by-id/usb-...-port0 -> /dev/ttyUSB0" for each stable name
// of one. Built-in serial ports (ttyS*) only where the kernel found a UART behind the name
// (its type in `ttyClass` is not 0: most machines have 4 to 32 names without one).
std::vector<std::string> ListSerialDevices(const std::string& devices = "/dev",
                                           const std::string& ttyClass = "/sys/class/tty");

// The list as lines for the user: a heading and one indented line per device, or a line that
// says none was found.
std::string SerialDevicesText(const std::vector<std::string>& devices);
