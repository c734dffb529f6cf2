// calquin.exe /check: the port check (link/port_check.h) on the open port, its result in a
// message box.
#pragma once

#include "link/line_seam.h"

// Checks the port `name` through `lines` and shows the result; the process's exit code: 0 when
// the port carries the link, 3 when it does not.
int ShowPortCheck(LineSeam& lines, const char* name);
