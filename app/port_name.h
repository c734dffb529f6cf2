// The serial device name of the Windows program: "COM" and one port digit. Only index 3 ever
// changes (start-up, the Setup dialog); it lives for the whole process.
#pragma once

extern char* portName;
