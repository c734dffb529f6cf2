// What the PC writes for the bits of a byte, and a bounded wait for a condition, shared by the
// link tests.
#pragma once

#include "link/link_port.h"

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

// The first `bits` bits of `byte` sent: the signal (2 for a 1, 1 for a 0), then the release.
inline std::vector<LinkLines> SentBitWrites(std::uint8_t byte, int bits = 8) {
    std::vector<LinkLines> writes;
    for (int bit = 0; bit < bits; ++bit, byte >>= 1) {
        writes.push_back((byte & 1) ? 2 : 1);
        writes.push_back(3);
    }
    return writes;
}

// The first `bits` bits of `byte` received: the acknowledgement (1 for a 1, 2 for a 0), then
// the release.
inline std::vector<LinkLines> ReceivedBitWrites(std::uint8_t byte, int bits = 8) {
    std::vector<LinkLines> writes;
    for (int bit = 0; bit < bits; ++bit, byte >>= 1) {
        writes.push_back((byte & 1) ? 1 : 2);
        writes.push_back(3);
    }
    return writes;
}

template <typename Condition> bool WaitUntil(Condition condition, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::yield();
    }
    return true;
}
