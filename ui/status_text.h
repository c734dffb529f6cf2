// The texts of a status line on a terminal, where no byte of a name or a path may act as a
// control sequence.
#pragma once

#include <string>

// A variable name as the calculator's raw bytes: printable ASCII as it stands, a backslash
// doubled, every other byte as \xHH.
std::string EscapedName(const char* name);
// A path as the user's system spells it: well-formed UTF-8 as it stands, control characters
// and bytes outside well-formed UTF-8 as \xHH, a backslash doubled.
std::string EscapedPath(const char* path);

struct VariableProgress {
    std::string name; // escaped
    int percent = 0;
    double bytesPerSecond = 0; // of its data so far
};

// The redrawn line on a terminal: name, bar, percentage, bytes per second, within `columns`
// characters (the bar shrinks first, then goes).
std::string TerminalStatusLine(const VariableProgress& progress, int columns);
// The line written once per variable elsewhere: name, percentage, bytes per second.
std::string PlainStatusLine(const VariableProgress& progress);
