// File names for what the calculator sent: the extension its type byte calls for, and a name
// from the variable's own that is safe on Windows and on Linux alike.
//
// Extensions: 0x00 .85n, 0x01 .85c, 0x02-0x03 .85v, 0x04-0x05 .85l, 0x06-0x07 .85m,
// 0x08-0x09 .85k, 0x0A .85y, 0x0C .85s, 0x0D-0x10 .85d, 0x11 .85i, 0x12 .85p, a backup (0x1D)
// .85b, several variables in one file .85g; any other type .85_ and its byte in two hex digits
// (.85_0B), since "?" is no character of a Windows file name.
#pragma once

#include "transfer/variable_file_writer.h"

#include <cstdint>
#include <string>
#include <vector>

constexpr char kGroupExtension[] = ".85g";

std::string TypeExtension(std::uint8_t type);

// A variable name, its bytes as the calculator sent them (zero-terminated), as a file name without
// its extension: printable ASCII as it stands, every other byte (a space too) as _xHH, as are the
// characters Windows refuses in a name (/ \ : * ? " < > |), the underscore itself, a dot that would
// begin or end the name, and the last character of a Windows device name (CON, NUL, COM1, ...).
// Only the first 32 bytes count; an empty name is "unnamed".
std::string SafeFileName(const char* name);

// For one variable its name and extension; "backup.85b" for a backup; "received.85g" for several.
std::string ProposedFileName(const std::vector<ReceivedEntry>& entries);

// `name` when it is free, else the first free one of name-2, name-3, ... (the number before the
// extension, "A-2.85n"); empty when none up to 9999 is free.
using NameTaken = bool (*)(const std::string& name, void* context);
std::string FreeFileName(const std::string& name, NameTaken taken, void* context);
