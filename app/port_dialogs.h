// The welcome and Setup dialogs: the serial port of the link cable, COM1 to COM9.
#pragma once

#include <windows.h>

// Dialog procedure of both templates. The dialog's result is the chosen port number, 1 to 9,
// or 0 for no choice.
INT_PTR CALLBACK PortDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Runs the Setup dialog and puts its choice into portName (it takes effect at the next start).
// The dialog's result; -1 when it could not be shown, which changes nothing.
INT_PTR ShowSetupDialog();
