// What the PC writes for the bits of a byte, and a bounded wait for a condition, shared by the
// link tests.
#pragma once

#include "link/link_lines.h"

#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

// For the first `bits` bits of `byte`: `one` or `zero` as the bit is, then the release (3).
inline std::vector<LinkLines> BitWrites(std::uint8_t byte, int bits, LinkLines one,
                                        LinkLines zero) {
    std::vector<LinkLines> writes;
    for (int bit = 0; bit < bits; ++bit, byte >>= 1) {
        writes.push_back((byte & 1) ? one : zero);
        writes.push_back(3);
    }
    return writes;
}

// Sending: the signal, 2 for a 1 and 1 for a 0, then the release.
inline std::vector<LinkLines> SentBitWrites(std::uint8_t byte, int bits = 8) {
    return BitWrites(byte, bits, 2, 1);
}

// Receiving: the acknowledgement on the other wire, 1 for a 1 and 2 for a 0, then the release.
inline std::vector<LinkLines> ReceivedBitWrites(std::uint8_t byte, int bits = 8) {
    return BitWrites(byte, bits, 1, 2);
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
