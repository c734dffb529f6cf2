#include "cli/port_problem.h"

#include "cli/serial_devices.h"
#include "ui/status_text.h"

#include <cstring>
#include <grp.h>
#include <sys/stat.h>

namespace {
// The group that may open the device: its own group where that group may read and write it
// (dialout on Debian, uucp elsewhere), dialout where that can't be told.
std::string DeviceGroup(const char* device) {
    struct stat status {};
    if (stat(device, &status) != 0 || status.st_gid == 0 ||
        (status.st_mode & (S_IRGRP | S_IWGRP)) != (S_IRGRP | S_IWGRP))
        return "dialout";
    const group* entry = getgrgid(status.st_gid);
    return entry ? entry->gr_name : "dialout";
}
} // namespace

std::string PortProblemText(const char* device, const PortOpenResult& result) {
    std::string name = EscapedPath(device);
    switch (result.opening) {
    case PortOpening::Opened:
        return "";
    case PortOpening::Missing:
        return "calquin: " + name + " does not exist.\n" + SerialDevicesText(ListSerialDevices());
    case PortOpening::NoPermission: {
        std::string group = DeviceGroup(device);
        return "calquin: no permission to open " + name + ": add yourself to the " + group +
               " group (sudo adduser $USER " + group + "), then log in again.\n";
    }
    case PortOpening::Busy:
        return "calquin: " + name + " is busy: another program has it open for its sole use.\n";
    case PortOpening::InUse:
        return "calquin: " + name + " is in use by another program.\n";
    case PortOpening::NoDevice:
        return "calquin: " + name + " has no device behind it. Is the adapter plugged in?\n";
    case PortOpening::NoModemLines:
        return "calquin: " + name + " is not a serial port with modem lines.\n";
    case PortOpening::Failed:
        break;
    }
    return "calquin: cannot open " + name + ": " + std::strerror(result.error) + "\n";
}
