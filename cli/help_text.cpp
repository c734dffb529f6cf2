#include "cli/help_text.h"

std::string UsageLine() {
    return "Usage: calquin [--port DEVICE] FILE...\n"
           "       calquin --check [--port DEVICE]\n";
}

std::string VersionText() {
    return "calquin " CALQUIN_VERSION "\n";
}

std::string HelpText() {
    return UsageLine() +
           "Send TI-85 variable files (*.85?) and backups to a TI-85 over the \"$4 serial link\"\n"
           "(the calculator's two wires on a serial port's RTS/DTR and CTS/DSR lines).\n"
           "\n"
           "  -p, --port DEVICE  the serial device of the cable, such as /dev/ttyUSB0 or\n"
           "                     /dev/ttyACM0; without it, the CALQUIN_PORT variable\n"
           "      --check        check the port instead: pull each wire for a moment with\n"
           "                     no calculator receiving, and tell whether both are\n"
           "                     carried, how fast the port is and what limits the link\n"
           "  -h, --help         show this help and exit\n"
           "  -V, --version      show the version and exit\n"
           "\n"
           "Put the calculator in its receive mode first. The files go as one batch, in the\n"
           "order given, ended by an end-of-transmission packet; a backup ends the batch.\n"
           "A file that cannot be read or is not a TI-85 file is reported, and the batch\n"
           "goes on.\n"
           "\n"
           "Ctrl-C once: the variable under way is finished, nothing further is sent, and a\n"
           "calculator that has not answered for a second is given up.\n"
           "Ctrl-C twice: everything stops at once.\n"
           "\n"
           "Exit status:\n"
           "  0    every file sent\n"
           "  1    a file could not be read or was refused (the batch went on)\n"
           "  2    the calculator declined a variable or ended the batch\n"
           "  3    the calculator stopped answering (--check: a wire is not carried)\n"
           "  4    the port could not be opened or is in use\n"
           "  64   usage\n"
           "  130  stopped with Ctrl-C (143 for SIGTERM, 129 for SIGHUP)\n"
           "When several apply, the most serious wins: 130, then 4, 3, 2, 1.\n";
}
