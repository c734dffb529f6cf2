#include "ui/main_window_handle.h"

HWND mainWindow = nullptr;
