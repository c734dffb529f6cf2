#include "ui/message_box.h"

#include "ui/status_text.h"
#include "ui/terminal_output.h"

#include <cstring>
#include <string>

// On standard error, after the program's name; the argument (a path) escaped.
void ShowErrorMessage(const char* format, const char* argument) {
    std::string text = format;
    std::size_t at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, EscapedPath(argument));
    WritePermanentLine("calquin: " + text);
}
