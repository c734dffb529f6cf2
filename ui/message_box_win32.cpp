#include "ui/message_box.h"

#include "ui/main_window_handle.h"
#include "ui/message_text.h"

void ShowErrorMessage(const char* format, const char* argument) {
    char text[kMessageBufferSize];
    wsprintfA(text, format, FitMessageArgument(format, argument));
    MessageBoxA(mainWindow, text, "Calquin Error", MB_ICONERROR);
}
