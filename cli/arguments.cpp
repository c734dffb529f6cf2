#include "cli/arguments.h"

#include <cstring>

namespace {
bool StartsWith(const char* text, const char* prefix) {
    return std::strncmp(text, prefix, std::strlen(prefix)) == 0;
}

// One option at argv[*index], with its value when it takes one; a wrong one is noted.
void TakeOption(int argc, const char* const* argv, int* index, Arguments* arguments) {
    const char* option = argv[*index];
    if (std::strcmp(option, "-h") == 0 || std::strcmp(option, "--help") == 0) {
        arguments->action = Action::Help;
    } else if (std::strcmp(option, "-V") == 0 || std::strcmp(option, "--version") == 0) {
        if (arguments->action != Action::Help)
            arguments->action = Action::Version;
    } else if (std::strcmp(option, "-r") == 0 || std::strcmp(option, "--receive") == 0) {
        if (arguments->action == Action::Send)
            arguments->action = Action::Receive;
    } else if (StartsWith(option, "--port=")) {
        arguments->port = option + std::strlen("--port=");
    } else if (std::strcmp(option, "-p") == 0 || std::strcmp(option, "--port") == 0) {
        if (*index + 1 < argc)
            arguments->port = argv[++*index];
        else
            arguments->problems.push_back(std::string(option) + " needs a DEVICE");
    } else {
        arguments->problems.push_back(std::string("unknown option ") + option);
    }
}
} // namespace

Arguments ParseArguments(int argc, const char* const* argv, const char* environmentPort) {
    Arguments arguments;
    bool optionsEnded = false;
    for (int index = 1; index < argc; ++index) {
        const char* argument = argv[index];
        if (!optionsEnded && std::strcmp(argument, "--") == 0)
            optionsEnded = true;
        else if (!optionsEnded && argument[0] == '-' && argument[1] != '\0')
            TakeOption(argc, argv, &index, &arguments);
        else
            arguments.files.push_back(argument);
    }
    if (arguments.action != Action::Send && arguments.action != Action::Receive)
        return arguments;
    if (arguments.port.empty() && environmentPort)
        arguments.port = environmentPort;
    if (arguments.action == Action::Send && arguments.files.empty())
        arguments.problems.push_back("no file to send");
    if (arguments.action == Action::Receive && arguments.files.size() > 1)
        arguments.problems.push_back("--receive takes one FOLDER");
    if (arguments.port.empty()) {
        arguments.problems.push_back("no serial device: give --port DEVICE or set CALQUIN_PORT");
        arguments.noPort = true;
    }
    if (!arguments.problems.empty())
        arguments.action = Action::UsageError;
    return arguments;
}
