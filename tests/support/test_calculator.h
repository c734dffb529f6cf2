// The simulated calculator as the tests use it: the realistic model, pausing longer before it
// answers than a real one need. Its first bit of an answer is often on the wire of its last
// acknowledgement, and the PC must see that wire released in between; a test's PC thread on a
// loaded machine can be kept off the processor for several milliseconds.
#pragma once

#include "sim/simulated_ti85.h"

#include <chrono>

constexpr std::chrono::milliseconds kTestTurnaround{20};

inline CalculatorLinkOptions TestCalculatorLink() {
    CalculatorLinkOptions options;
    options.turnaround = kTestTurnaround;
    return options;
}

inline Ti85Options TestTi85() {
    Ti85Options options;
    options.link = TestCalculatorLink();
    return options;
}
