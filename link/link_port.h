// The serial port seen as two link wires: the device name and the two line primitives.
// One implementation drives a real port (Win32), another the in-process virtual cable.
#pragma once

#include <cstdint>

// Bit 0 written = DTR (releases the DTR/DSR wire), bit 1 written = RTS (releases the RTS/CTS
// wire). Bit 0 read = CTS (RTS/CTS wire high), bit 1 read = DSR (DTR/DSR wire high). 3 = idle.
using LinkLines = std::uint8_t;

// "COM" and one port digit; only index 3 ever changes. Lives for the whole process.
extern char* portName;

bool OpenLinkPort();
void SetLinkLines(LinkLines lines);
LinkLines ReadLinkLines();
