// Deadlines, and a fresh folder under /tmp for one test.
#pragma once

#include <chrono>
#include <string>

std::chrono::steady_clock::time_point SecondsFromNow(int seconds);

// Removed with its contents at the end of the test.
class TemporaryFolder {
  public:
    TemporaryFolder();
    ~TemporaryFolder();
    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    const std::string& Path() const { return path; }
    std::string File(const std::string& name) const { return path + "/" + name; }

  private:
    std::string path;
};
