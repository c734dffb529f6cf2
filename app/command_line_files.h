// The files named on the command line: Explorer passes them so when files are dropped on the
// program's icon, and so does a "Send To" shortcut.
#pragma once

#include <string>
#include <vector>

// From the wide command line, so that quoted paths with spaces and names in any language come
// whole; each made absolute against the current folder at start-up. Empty without any.
std::vector<std::wstring> CommandLineFiles();

// Whether the command line is "/check" alone (any case): the port is checked instead of sending.
bool CommandLineAsksForCheck();
