// A packet's first wait lasts until the job is told to stop: this tells it to (Cancel) once the
// limit has passed, so that a test of a faulty layer fails instead of hanging.
#pragma once

#include "tests/support/test_pc.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

class LinkWatchdog {
  public:
    explicit LinkWatchdog(TestPc& pc, std::chrono::seconds limit = std::chrono::seconds(20));
    ~LinkWatchdog();

  private:
    std::mutex lock;
    std::condition_variable ended;
    bool finished = false;
    std::thread thread;
};
