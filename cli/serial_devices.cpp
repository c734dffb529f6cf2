#include "cli/serial_devices.h"

#include "ui/status_text.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <unistd.h>

namespace {
const char* const kSerialPrefixes[] = {"ttyUSB", "ttyACM", "ttyS", "ttyAMA", "ttyXRUSB", "rfcomm"};

struct DeviceName {
    std::string prefix;
    unsigned long number;
    std::string name;
};

// "ttyUSB12" is ttyUSB and 12; names that are not a known prefix and a number are no port.
bool ParseDeviceName(const char* name, DeviceName* device) {
    for (const char* prefix : kSerialPrefixes) {
        std::size_t length = std::strlen(prefix);
        const char* digits = name + length;
        if (std::strncmp(name, prefix, length) != 0 || *digits == '\0' ||
            std::strspn(digits, "0123456789") != std::strlen(digits))
            continue;
        *device = {prefix, std::strtoul(digits, nullptr, 10), name};
        return true;
    }
    return false;
}

// A built-in port name has a UART behind it when the kernel gives it a type other than 0.
bool HasUart(const std::string& ttyClass, const std::string& name) {
    std::ifstream type(ttyClass + "/" + name + "/type");
    int value = -1;
    return !(type >> value) || value != 0;
}

std::vector<DeviceName> DeviceNames(const std::string& devices, const std::string& ttyClass) {
    std::vector<DeviceName> found;
    DIR* folder = opendir(devices.c_str());
    if (!folder)
        return found;
    while (const dirent* entry = readdir(folder)) {
        DeviceName device;
        if (entry->d_type == DT_DIR || !ParseDeviceName(entry->d_name, &device))
            continue;
        if (device.prefix == "ttyS" && !HasUart(ttyClass, device.name))
            continue;
        found.push_back(device);
    }
    closedir(folder);
    // ttyS2 before ttyS10; the kinds in the order of kSerialPrefixes, USB adapters first.
    auto rank = [](const DeviceName& device) {
        return std::find_if(std::begin(kSerialPrefixes), std::end(kSerialPrefixes),
                            [&](const char* prefix) { return device.prefix == prefix; }) -
               std::begin(kSerialPrefixes);
    };
    std::sort(found.begin(), found.end(), [&](const DeviceName& a, const DeviceName& b) {
        return rank(a) != rank(b) ? rank(a) < rank(b) : a.number < b.number;
    });
    return found;
}

// The stable names udev makes for USB adapters, with the device each leads to.
std::vector<std::string> StableNames(const std::string& devices) {
    std::vector<std::string> lines;
    std::string folderPath = devices + "/serial/by-id";
    DIR* folder = opendir(folderPath.c_str());
    if (!folder)
        return lines;
    while (const dirent* entry = readdir(folder)) {
        if (entry->d_name[0] == '.')
            continue;
        std::string link = folderPath + "/" + entry->d_name;
        char target[4096];
        ssize_t length = readlink(link.c_str(), target, sizeof target - 1);
        if (length <= 0)
            continue;
        target[length] = '\0';
        const char* slash = std::strrchr(target, '/');
        lines.push_back(link + " -> " + devices + "/" + (slash ? slash + 1 : target));
    }
    closedir(folder);
    std::sort(lines.begin(), lines.end());
    return lines;
}
} // namespace

std::vector<std::string> ListSerialDevices(const std::string& devices,
                                           const std::string& ttyClass) {
    std::vector<std::string> lines;
    for (const DeviceName& device : DeviceNames(devices, ttyClass))
        lines.push_back(devices + "/" + device.name);
    for (const std::string& line : StableNames(devices))
        lines.push_back(line);
    return lines;
}

std::string SerialDevicesText(const std::vector<std::string>& devices) {
    if (devices.empty())
        return "No serial device was found on this machine.\n";
    std::string text = "Serial devices on this machine:\n";
    for (const std::string& device : devices)
        text += "  " + EscapedPath(device.c_str()) + "\n";
    return text;
}
