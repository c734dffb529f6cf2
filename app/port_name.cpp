#include "app/port_name.h"

#include <cstring>

namespace {
char* HeapCopy(const char* text) {
    char* copy = new char[std::strlen(text) + 1];
    std::strcpy(copy, text);
    return copy;
}
} // namespace

char* portName = HeapCopy("COM2");
