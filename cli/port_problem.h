// Why the serial device could not be had, told so that the user knows what to do.
#pragma once

#include "link/link_port_posix.h"

#include <string>

// The lines for the user (the first one after "calquin: "), each ending in a line end; a
// missing device is followed by the serial devices that do exist.
std::string PortProblemText(const char* device, const PortOpenResult& result);
