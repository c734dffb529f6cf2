// The name that a VAR payload carries: the byte at payload offset 3 gives its length, the name
// starts at offset 4. The length byte is not trusted: only bytes inside the payload are read.
#pragma once

#include <cstddef>
#include <cstdint>

// The longest name a length byte can announce, without the terminating zero.
constexpr std::size_t kMaxVariableNameLength = 255;

// Copies the name into `name` as a zero-terminated text: no more than the payload holds, and
// ending early at a zero byte. A payload shorter than four bytes gives an empty name.
// Header-only, so that the simulated calculator reads names exactly as the program does.
inline void CopyVariableName(const std::uint8_t* payload, std::size_t payloadLength,
                             char (&name)[kMaxVariableNameLength + 1]) {
    std::size_t length = 0;
    if (payloadLength >= 4) {
        std::size_t announced = payload[3];
        std::size_t available = payloadLength - 4;
        std::size_t limit = announced < available ? announced : available;
        while (length < limit && payload[4 + length] != 0) {
            name[length] = static_cast<char>(payload[4 + length]);
            ++length;
        }
    }
    name[length] = '\0';
}
