#include "app/dialog_apartment.h"

#include <windows.h>
#include <objbase.h>

namespace {
bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}
} // namespace

DialogApartment::DialogApartment() : entered(RunningUnderWine()) {
    if (entered)
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
}

DialogApartment::~DialogApartment() {
    if (entered)
        CoUninitialize();
}
