#include "ui/message_text.h"

#include <cstring>

const char* FitMessageArgument(const char* format, const char* argument) {
    std::size_t formatLength = std::strlen(format);
    std::size_t fixedLength = std::strstr(format, "%s") ? formatLength - 2 : formatLength;
    std::size_t room =
        kMessageBufferSize - 1 > fixedLength ? kMessageBufferSize - 1 - fixedLength : 0;
    std::size_t length = std::strlen(argument);
    return length <= room ? argument : argument + (length - room);
}
