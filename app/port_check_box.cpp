#include "app/port_check_box.h"

#include "link/port_check.h"

#include <string>
#include <windows.h>

int ShowPortCheck(LineSeam& lines, const char* name) {
    const PortCheck check = CheckPort(lines);
    std::string text = std::string("Port ") + name + ":\n\n" + PortCheckText(check);
    text.pop_back(); // the last line end: a box needs none
    MessageBoxA(nullptr, text.c_str(), "Calquin",
                check.Fit() ? MB_ICONINFORMATION : MB_ICONWARNING);
    return check.Fit() ? 0 : 3;
}
