// The core's texts and paths are UTF-8; the Win32 seams hand them to the wide (UTF-16) functions,
// so that names that the ANSI code page cannot hold (Greek, Cyrillic, Japanese...) stay whole.
#pragma once

#include <windows.h>

#include <string>

std::wstring WideFromUtf8(const char* text);
// `length` units of `text`, zeros included (a list of zero-terminated strings converts whole).
std::string Utf8FromWide(const wchar_t* text, std::size_t length);
std::string Utf8FromWide(const wchar_t* text);
