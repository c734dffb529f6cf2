// The program's instance handle: every dialog is created from its resources.
#pragma once

#include <windows.h>

extern HINSTANCE appInstance;
