// The command line: calquin [--port DEVICE] FILE...
//                   calquin --receive [--port DEVICE] [FOLDER]
#pragma once

#include <string>
#include <vector>

enum class Action { Send, Receive, Help, Version, UsageError };

struct Arguments {
    Action action = Action::Send;
    std::string port;                  // --port, else CALQUIN_PORT
    std::vector<std::string> files;    // sending; receiving, the folder (none: the current one)
    std::vector<std::string> problems; // what is wrong with a usage error
    bool noPort = false;               // among them: neither --port nor CALQUIN_PORT
};

// `environmentPort` is CALQUIN_PORT (null or empty when unset). --help and --version win over
// everything else on the line.
Arguments ParseArguments(int argc, const char* const* argv, const char* environmentPort);
