// Standard error as the Linux program's status and message channel: permanent lines, and
// under them the status line of the variable under way. On a terminal the status line is
// redrawn in place; elsewhere (a file, a pipe) only its last state is written, once, when it
// ends. Any thread; each call is one whole update.
#pragma once

#include <string>

bool StderrIsTerminal();
// The terminal's width; 80 when it can't be told.
int TerminalColumns();

// The status line's new state (each text without a line end); an empty plain text is not
// written. A terminal is redrawn at most every few tens of milliseconds, unless `drawNow`;
// the last state is always drawn before the line ends.
void UpdateStatusLine(const std::string& terminalText, const std::string& plainText, bool drawNow);
// The status line is done: left on screen, or written as a plain line.
void EndStatusLine();
// Forgets the status line: cleared from the screen, or not written.
void DropStatusLine();
// A line of its own, below a status line that has ended first.
void WritePermanentLine(const std::string& text);
