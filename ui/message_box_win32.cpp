#include "ui/message_box.h"

#include "ui/main_window_handle.h"
#include "ui/message_text.h"
#include "ui/utf8_text_win32.h"

// Formatted and shown in UTF-16, so that a path in any language shows as it is.
void ShowErrorMessage(const char* format, const char* argument) {
    std::wstring wideFormat = WideFromUtf8(format), wideArgument = WideFromUtf8(argument);
    wchar_t text[kMessageBufferSize];
    wsprintfW(text, wideFormat.c_str(),
              FitMessageArgument(wideFormat.c_str(), wideArgument.c_str()));
    MessageBoxW(mainWindow, text, L"Calquin Error", MB_ICONERROR);
}
