// One byte over the two-wire handshake, least significant bit first.
// Both return at once, doing nothing, once the job's link has been given up (see link_state.h);
// ReceiveLinkByte then returns 0. The first byte of a packet the PC sends (see MarkPacketStart)
// waits for the idle link first (AwaitIdleLink).
#pragma once

#include <cstdint>

void SendLinkByte(std::uint8_t byte);
std::uint8_t ReceiveLinkByte();
