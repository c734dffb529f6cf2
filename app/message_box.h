// Messages for the user, owned by the main window (mainWindow).
#pragma once

// Caption "Calquin Error", the error icon. The text is `format` with `argument` put in for its
// "%s" (a format without one shows as it stands); an argument too long for the 512-character
// message keeps its end.
void ShowErrorMessage(const char* format, const char* argument = "");
// The same text with the caption "Calquin" and no icon (a port error).
void ShowPortMessage(const char* format, const char* argument = "");
