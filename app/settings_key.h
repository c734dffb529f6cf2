// One registry key, open for the object's lifetime, holding 32-bit values read with a default.
#pragma once

#include <windows.h>

class SettingsKey {
  public:
    // Creates the key (and every missing key on its path) or opens it; `key` is null when
    // neither works, and nothing is reported.
    SettingsKey(HKEY root, const char* path);
    ~SettingsKey();
    SettingsKey(const SettingsKey&) = delete;
    SettingsKey& operator=(const SettingsKey&) = delete;

    // The stored 4-byte value, or `defaultValue` when there is none to be had.
    DWORD ReadDword(const char* name, DWORD defaultValue);
    // Stores a REG_DWORD; the registry's result code.
    LONG WriteDword(const char* name, DWORD value);

    HKEY key = nullptr;
    DWORD disposition = 0; // REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY
    DWORD valueType = 0;   // scratch for the registry calls
    DWORD valueSize = 0;   // scratch for the registry calls
};
