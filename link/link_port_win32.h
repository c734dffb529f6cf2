// The open serial port behind the Win32 line primitives.
#pragma once

#include <windows.h>

extern HANDLE LinkPort;
