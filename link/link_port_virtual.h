// The native line primitives: the PC end of an in-process (or shared-memory) virtual cable,
// with what tests need to watch and disturb it.
#pragma once

#include "link/link_port.h"

#include <chrono>
#include <cstdint>
#include <vector>

struct VirtualCable;

// The cable the line primitives drive from now on; OpenLinkPort fails while there is none.
void AttachVirtualPort(VirtualCable* cable);

// Line writes are kept in order while recording is on.
void RecordLinkWrites(bool on);
std::vector<LinkLines> RecordedLinkWrites();
void ClearRecordedLinkWrites();

// The value the last ReadLinkLines returned.
LinkLines LastLinkReading();

// Line calls since the last reset (any thread may read them while the job runs).
struct VirtualPortCounters {
    std::uint64_t writes = 0;
    std::uint64_t reads = 0;
};
VirtualPortCounters VirtualPortCounts();
void ResetVirtualPortCounts();

// While set, every status read fails as GetCommModemStatus would.
void FailStatusReads(bool fail);

// A slow line, as through a USB serial adapter: every line call lasts this long (0: as long as
// it takes). A write reaches the wires, and a read looks at them, as the call returns.
void SetLineCallTime(std::chrono::microseconds time);

// An adapter that reports the input lines only once every `period` (an FTDI adapter's latency
// timer, under Windows): a status read returns at once the lines as the last report gave them,
// while a write still takes the call time (0: reads look at the wires).
void SetLineReportPeriod(std::chrono::microseconds period);
