#include "app/settings_key.h"

SettingsKey::SettingsKey(HKEY root, const char* path) {
    char keyClass[] = "regClass?";
    if (RegCreateKeyExA(root, path, 0, keyClass, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, &disposition) != ERROR_SUCCESS)
        key = nullptr;
}

SettingsKey::~SettingsKey() {
    if (key)
        RegCloseKey(key);
}

DWORD SettingsKey::ReadDword(const char* name, DWORD defaultValue) {
    // A key this object has just created holds no values yet.
    if (!key || disposition == REG_CREATED_NEW_KEY)
        return defaultValue;
    BYTE bytes[4] = {};
    valueSize = sizeof bytes;
    if (RegQueryValueExA(key, name, nullptr, &valueType, bytes, &valueSize) != ERROR_SUCCESS)
        return defaultValue;
    // Fewer than four bytes make no 32-bit number.
    if (valueSize < sizeof bytes)
        return defaultValue;
    return bytes[0] | bytes[1] << 8 | bytes[2] << 16 | static_cast<DWORD>(bytes[3]) << 24;
}

LONG SettingsKey::WriteDword(const char* name, DWORD value) {
    valueType = REG_DWORD;
    valueSize = 4;
    if (!key)
        return ERROR_INVALID_HANDLE;
    const BYTE bytes[4] = {static_cast<BYTE>(value), static_cast<BYTE>(value >> 8),
                           static_cast<BYTE>(value >> 16), static_cast<BYTE>(value >> 24)};
    return RegSetValueExA(key, name, 0, valueType, bytes, valueSize);
}
