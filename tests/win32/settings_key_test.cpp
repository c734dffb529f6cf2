// SettingsKey against the registry of the test's own Wine prefix.
#include "app/settings_key.h"
#include "tests/win32/win32_check.h"

namespace {
const char kTestRoot[] = "Software\\CalquinTest";
const char kPath[] = "Software\\CalquinTest\\Settings";

void RemoveTestKeys() {
    RegDeleteTreeA(HKEY_CURRENT_USER, kTestRoot);
}

// A value stored behind SettingsKey's back, as another run of the program would have left it.
void StoreRaw(const char* name, DWORD type, const void* bytes, DWORD size) {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, kPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                    nullptr);
    RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(bytes), size);
    RegCloseKey(key);
}
} // namespace

WIN32_TEST(SettingsKeyFirstRunCreatesTheKeyAndQueriesNothing) {
    RemoveTestKeys();
    {
        SettingsKey settings(HKEY_CURRENT_USER, kPath);
        CHECK(settings.key != nullptr);
        CHECK_EQ(settings.disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
        CHECK_EQ(settings.ReadDword("COMport", 7), 7UL);
        // No query was made: the scratch fields are as the constructor left them.
        CHECK_EQ(settings.valueSize, 0UL);
        // What this object writes into the key it created stays unseen by its own reads.
        CHECK_EQ(settings.WriteDword("COMport", 3), static_cast<LONG>(ERROR_SUCCESS));
        CHECK_EQ(settings.ReadDword("COMport", 7), 7UL);
    }
    HKEY key = nullptr;
    CHECK_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPath, 0, KEY_READ, &key),
             static_cast<LONG>(ERROR_SUCCESS));
    char keyClass[32] = {};
    DWORD classSize = sizeof keyClass;
    RegQueryInfoKeyA(key, keyClass, &classSize, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr, nullptr);
    CHECK_STR(keyClass, "regClass?");
    DWORD type = 0, value = 0, size = sizeof value;
    CHECK_EQ(
        RegQueryValueExA(key, "COMport", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size),
        static_cast<LONG>(ERROR_SUCCESS));
    CHECK_EQ(type, static_cast<DWORD>(REG_DWORD));
    CHECK_EQ(size, 4UL);
    CHECK_EQ(value, 3UL);
    RegCloseKey(key);

    SettingsKey again(HKEY_CURRENT_USER, kPath);
    CHECK_EQ(again.disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));
    CHECK_EQ(again.ReadDword("COMport", 0), 3UL);
    RemoveTestKeys();
}

WIN32_TEST(SettingsKeyReadsWhatIsStored) {
    RemoveTestKeys();
    DWORD none = 0;
    StoreRaw("Other", REG_DWORD, &none, 4);
    {
        SettingsKey settings(HKEY_CURRENT_USER, kPath);
        CHECK_EQ(settings.ReadDword("COMport", 9), 9UL); // the key, but not the value
        CHECK_EQ(settings.valueSize, 4UL);               // this time a query was made
    }
    DWORD three = 3;
    StoreRaw("COMport", REG_DWORD, &three, 4);
    {
        SettingsKey settings(HKEY_CURRENT_USER, kPath);
        CHECK_EQ(settings.ReadDword("COMport", 0), 3UL);
        CHECK_EQ(settings.valueType, static_cast<DWORD>(REG_DWORD));
    }
    // Four bytes of another type are read all the same, little-endian.
    const BYTE four[4] = {0x01, 0x02, 0x03, 0x84};
    StoreRaw("COMport", REG_BINARY, four, 4);
    {
        SettingsKey settings(HKEY_CURRENT_USER, kPath);
        CHECK_EQ(settings.ReadDword("COMport", 0), 0x84030201UL);
    }
    const BYTE eight[8] = {2, 0, 0, 0, 0, 0, 0, 0};
    StoreRaw("COMport", REG_QWORD, eight, 8);
    {
        SettingsKey settings(HKEY_CURRENT_USER, kPath);
        CHECK_EQ(settings.ReadDword("COMport", 5), 5UL); // no room for it: the default
    }
    const BYTE two[2] = {2, 0};
    StoreRaw("COMport", REG_BINARY, two, 2);
    {
        SettingsKey settings(HKEY_CURRENT_USER, kPath);
        CHECK_EQ(settings.ReadDword("COMport", 5), 5UL); // too short for a number
    }
    RemoveTestKeys();
}

WIN32_TEST(SettingsKeyThatCannotBeOpenedReadsDefaultsAndWritesNothing) {
    RemoveTestKeys();
    // A lasting key cannot be made under a volatile one.
    HKEY volatileKey = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\CalquinTest\\Volatile", 0, nullptr,
                    REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &volatileKey, nullptr);
    RegCloseKey(volatileKey);
    {
        SettingsKey settings(HKEY_CURRENT_USER, "Software\\CalquinTest\\Volatile\\Settings");
        CHECK(settings.key == nullptr);
        CHECK_EQ(settings.ReadDword("COMport", 4), 4UL);
        CHECK(settings.WriteDword("COMport", 2) != ERROR_SUCCESS);
        CHECK_EQ(settings.ReadDword("COMport", 4), 4UL);
    }
    HKEY key = nullptr;
    CHECK(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\CalquinTest\\Volatile\\Settings", 0, KEY_READ,
                        &key) != ERROR_SUCCESS);
    {
        SettingsKey settings(reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x7654)), "Calquin");
        CHECK(settings.key == nullptr);
        CHECK_EQ(settings.ReadDword("COMport", 1), 1UL);
        CHECK(settings.WriteDword("COMport", 2) != ERROR_SUCCESS);
    }
    RemoveTestKeys();
}
