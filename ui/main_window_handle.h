// The main window's handle: owner of every message box and target of every status write.
#pragma once

#include <windows.h>

extern HWND mainWindow;
