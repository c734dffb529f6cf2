#include "transfer/received_file_name.h"

#include "protocol/variable_name.h"
#include "transfer/variable_file.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>

namespace {
// Longer names than a TI-85 gives are cut, so that the file name stays well inside every file
// system's limit even with every byte escaped.
constexpr std::size_t kLongestName = 32;
constexpr int kLastSuffix = 9999;

struct TypeRange {
    std::uint8_t first, last;
    const char* extension;
};
constexpr TypeRange kExtensions[] = {
    {0x00, 0x00, ".85n"}, {0x01, 0x01, ".85c"}, {0x02, 0x03, ".85v"}, {0x04, 0x05, ".85l"},
    {0x06, 0x07, ".85m"}, {0x08, 0x09, ".85k"}, {0x0A, 0x0A, ".85y"}, {0x0C, 0x0C, ".85s"},
    {0x0D, 0x10, ".85d"}, {0x11, 0x11, ".85i"}, {0x12, 0x12, ".85p"}, {0x1D, 0x1D, ".85b"},
};

bool KeptAsItStands(unsigned char byte) {
    return byte > 0x20 && byte < 0x7F && !std::strchr("/\\:*?\"<>|_", byte);
}

// Windows opens a device for these, whatever extension follows.
bool IsDeviceName(const char* stem, std::size_t length) {
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL"};
    std::string upper;
    for (std::size_t i = 0; i < length; ++i)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(stem[i])));
    for (const char* device : kDevices)
        if (upper == device)
            return true;
    return upper.size() == 4 &&
           (upper.compare(0, 3, "COM") == 0 || upper.compare(0, 3, "LPT") == 0) &&
           std::isdigit(static_cast<unsigned char>(upper[3]));
}

std::string Escaped(unsigned char byte) {
    char text[5];
    std::snprintf(text, sizeof text, "_x%02x", byte);
    return text;
}

std::string NameOf(const ReceivedEntry& entry) {
    char name[kMaxVariableNameLength + 1];
    CopyVariableName(entry.header.data(), entry.header.size(), name);
    return name;
}

std::string ExtensionOf(const ReceivedEntry& entry) {
    // A header too short to carry a type byte: the unknown type's spelling, without a byte.
    return entry.header.size() >= 3 ? TypeExtension(entry.header[2]) : ".85_";
}
} // namespace

std::string TypeExtension(std::uint8_t type) {
    for (const TypeRange& range : kExtensions)
        if (type >= range.first && type <= range.last)
            return range.extension;
    char text[8];
    std::snprintf(text, sizeof text, ".85_%02X", type);
    return text;
}

std::string SafeFileName(const char* name) {
    std::size_t length = std::min(std::strlen(name), kLongestName);
    if (length == 0)
        return "unnamed";
    // The stem Windows compares with its device names ends at the first dot kept as a dot.
    const char* dot =
        length > 2 ? static_cast<const char*>(std::memchr(name + 1, '.', length - 2)) : nullptr;
    std::size_t stem = dot ? static_cast<std::size_t>(dot - name) : length;
    std::size_t deviceEnd = IsDeviceName(name, stem) ? stem - 1 : length;
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        unsigned char byte = static_cast<unsigned char>(name[i]);
        bool edgeDot = byte == '.' && (i == 0 || i == length - 1);
        if (KeptAsItStands(byte) && !edgeDot && i != deviceEnd)
            text += static_cast<char>(byte);
        else
            text += Escaped(byte);
    }
    return text;
}

std::string ProposedFileName(const std::vector<ReceivedEntry>& entries) {
    if (entries.size() != 1)
        return std::string("received") + kGroupExtension;
    if (IsBackup(entries[0]))
        return "backup" + TypeExtension(kBackupType);
    return SafeFileName(NameOf(entries[0]).c_str()) + ExtensionOf(entries[0]);
}

std::string FreeFileName(const std::string& name, NameTaken taken, void* context) {
    if (!taken(name, context))
        return name;
    std::size_t dot = name.rfind('.');
    std::string stem = name.substr(0, dot),
                extension = dot == std::string::npos ? "" : name.substr(dot);
    for (int suffix = 2; suffix <= kLastSuffix; ++suffix) {
        std::string candidate = stem + "-" + std::to_string(suffix) + extension;
        if (!taken(candidate, context))
            return candidate;
    }
    return "";
}
