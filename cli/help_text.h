// What --help and --version print, and the usage line of a usage error.
#pragma once

#include <string>

std::string HelpText();
std::string VersionText();
std::string UsageLine();
