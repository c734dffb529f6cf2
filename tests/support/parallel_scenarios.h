// Scenarios that must sit out the link's time limits, run side by side in child processes of
// their own, so that a batch costs the wall time of its slowest scenario. Each child has its own
// link state (a Closing request stays inside it), and reports the gtest failures its scenario
// raised. Call it from a test while the process runs no other thread.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct Scenario {
    std::string name;
    std::function<void()> body; // uses EXPECT_*/ASSERT_* as a test does
};

// Runs every scenario at once and adds a failure to the calling test for each one that failed,
// crashed or outlasted `limit` (it is then killed).
void RunScenariosInParallel(const std::vector<Scenario>& scenarios, std::chrono::seconds limit);
