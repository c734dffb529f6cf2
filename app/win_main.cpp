#include "link/link_port.h"
#include "link/link_port_win32.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    if (!OpenLinkPort())
        return -1;
    CloseHandle(LinkPort);
    return 0;
}
