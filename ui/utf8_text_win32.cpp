#include "ui/utf8_text_win32.h"

#include <cwchar>

std::wstring WideFromUtf8(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 0)
        return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<std::size_t>(length - 1)); // the terminator
    return wide;
}

std::string Utf8FromWide(const wchar_t* text, std::size_t length) {
    if (length == 0)
        return std::string();
    int units = static_cast<int>(length);
    int size = WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return std::string();
    std::string bytes(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, units, &bytes[0], size, nullptr, nullptr);
    return bytes;
}

std::string Utf8FromWide(const wchar_t* text) {
    return Utf8FromWide(text, std::wcslen(text));
}
