// A sleep of some microseconds that lasts about that long: the calling thread's timer slack
// (50 us by default) is made a microsecond the first time.
#pragma once

#include <chrono>

void ShortNap(std::chrono::nanoseconds duration);
