// A VirtualCable in a file that two processes map: the simulated TI-85 on one side, the
// serial-port stand-in loaded into Wine on the other. Plain functions without the C++ runtime,
// so the LD_PRELOAD library can use them too.
#pragma once

struct VirtualCable;

// Maps the cable kept in `path`. With `create` the file is made (or emptied) and the cable
// starts idle; without it the file must already exist. Null on failure (errno tells why).
VirtualCable* MapSharedCable(const char* path, bool create);
void UnmapSharedCable(VirtualCable* cable);
