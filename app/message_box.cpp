#include "app/message_box.h"

#include "app/main_window.h"
#include "ui/message_text.h"
#include "ui/utf8_text_win32.h"

namespace {
// Formatted and shown in UTF-16, so that a path in any language shows as it is.
void ShowMessage(const char* format, const char* argument, const wchar_t* caption, UINT style) {
    std::wstring wideFormat = WideFromUtf8(format), wideArgument = WideFromUtf8(argument);
    wchar_t text[kMessageBufferSize];
    wsprintfW(text, wideFormat.c_str(),
              FitMessageArgument(wideFormat.c_str(), wideArgument.c_str()));
    MessageBoxW(mainWindow, text, caption, style);
}
} // namespace

void ShowErrorMessage(const char* format, const char* argument) {
    ShowMessage(format, argument, L"Calquin Error", MB_ICONERROR);
}

void ShowPortMessage(const char* format, const char* argument) {
    ShowMessage(format, argument, L"Calquin", MB_OK);
}
