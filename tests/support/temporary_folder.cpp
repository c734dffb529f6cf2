#include "tests/support/temporary_folder.h"

#include <cstdlib>
#include <filesystem>

std::chrono::steady_clock::time_point SecondsFromNow(int seconds) {
    return std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
}

TemporaryFolder::TemporaryFolder() {
    char pattern[] = "/tmp/calquin-e2e-XXXXXX";
    if (mkdtemp(pattern))
        path = pattern;
}

TemporaryFolder::~TemporaryFolder() {
    std::error_code ignored;
    if (!path.empty())
        std::filesystem::remove_all(path, ignored);
}
