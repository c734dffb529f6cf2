// Error messages for the user, owned by the main window: caption "Calquin Error", error icon.
#pragma once

// The text is `format` with `argument` put in for its "%s" (a format without one shows as it
// stands). An argument too long for the 512-character message keeps its end.
void ShowErrorMessage(const char* format, const char* argument = "");
