#include "cli/help_text.h"

std::string UsageLine() {
    return "Usage: calquin [--port DEVICE] FILE...\n"
           "       calquin --receive [--port DEVICE] [FOLDER]\n";
}

std::string VersionText() {
    return "calquin " CALQUIN_VERSION "\n";
}

std::string HelpText() {
    return UsageLine() +
           "Send TI-85 variable files (*.85?) and backups to a TI-85 over the \"$4 serial link\"\n"
           "(the calculator's two wires on a serial port's RTS/DTR and CTS/DSR lines),\n"
           "or receive what the calculator sends.\n"
           "\n"
           "  -p, --port DEVICE  the serial device of the cable, such as /dev/ttyUSB0 or\n"
           "                     /dev/ttyACM0; without it, the CALQUIN_PORT variable\n"
           "  -r, --receive      wait for the calculator to send, and save what it sends\n"
           "                     in FOLDER (the current folder when none is given)\n"
           "  -h, --help         show this help and exit\n"
           "  -V, --version      show the version and exit\n"
           "\n"
           "Put the calculator in its receive mode first. The files go as one batch, in the\n"
           "order given, ended by an end-of-transmission packet; a backup ends the batch.\n"
           "A file that cannot be read or is not a TI-85 file is reported, and the batch\n"
           "goes on.\n"
           "\n"
           "Receiving: start calquin --receive, then send from the calculator's LINK menu.\n"
           "Each variable is saved as a file of its own as soon as it has arrived whole (a\n"
           "backup as one .85b), named after the variable with its type's extension\n"
           "(.85n real, .85c complex, .85v vector, .85l list, .85m matrix, .85k constant,\n"
           ".85y equation, .85s string, .85d graph database, .85i picture, .85p program,\n"
           ".85_HH another type); an existing file is never replaced: a taken name gets\n"
           "-2, -3, ... Each saved path is printed on standard output.\n"
           "\n"
           "Ctrl-C once: the variable under way is finished, nothing further is sent, and a\n"
           "calculator that has not answered for a second is given up.\n"
           "Ctrl-C twice: everything stops at once. Receiving, Ctrl-C once ends the wait\n"
           "for the calculator, or ends its batch after the variable under way.\n"
           "\n"
           "Exit status:\n"
           "  0    every file sent, or the calculator's batch received and saved\n"
           "  1    a file could not be read or was refused (the batch went on), or a\n"
           "       received variable could not be saved (the others were)\n"
           "  2    the calculator declined a variable or ended the batch\n"
           "  3    the calculator stopped answering, or stopped sending mid-batch (the\n"
           "       variables that arrived whole are saved)\n"
           "  4    the port could not be opened or is in use\n"
           "  64   usage\n"
           "  130  stopped with Ctrl-C (143 for SIGTERM, 129 for SIGHUP)\n"
           "When several apply, the most serious wins: 130, then 4, 3, 2, 1.\n";
}
