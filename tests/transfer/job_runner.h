// A whole transfer job as the program runs it (the batch, then the end), on the calling thread.
#pragma once

#include "tests/support/test_pc.h"

#include <cstddef>
#include <string>
#include <vector>

// The paths a job's batch takes, in order, and how many it has taken.
struct PathList {
    std::vector<std::string> paths;
    std::size_t taken = 0;
};

// The batch's NextJobPath over a PathList.
const char* NextPath(void* context);

// The last path a job started to send, as the Windows program keeps it; null before the first.
struct LastPath {
    LastPath() = default;
    LastPath(const LastPath&) = delete;
    LastPath& operator=(const LastPath&) = delete;
    ~LastPath();
    char* path = nullptr;
};

// Runs a new job of the PC over `list` (storing each path in `last`, unless null) and expects
// it to end as every job does: its end told once, with its outcome, the button "Close".
void RunJob(TestPc& pc, PathList* list, LastPath* last = nullptr);

// What the user is told when the calculator stopped answering.
extern const std::string kNoAnswer;
