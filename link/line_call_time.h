// How long the port's line writes take, measured as they are made: through a USB serial adapter
// each one is a round trip to the adapter. The shortest of the last few, so that a moment off the
// processor is not taken for the port's own time.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>

class LineCallTime {
  public:
    using Clock = std::chrono::steady_clock;

    void Note(Clock::duration call) {
        kept[next] = call;
        next = (next + 1) % kept.size();
        if (noted < kept.size())
            ++noted;
    }
    // Zero before the first call.
    Clock::duration Typical() const {
        if (noted == 0)
            return Clock::duration::zero();
        return *std::min_element(kept.begin(), kept.begin() + static_cast<std::ptrdiff_t>(noted));
    }

  private:
    std::array<Clock::duration, 8> kept{};
    std::size_t next = 0;
    std::size_t noted = 0;
};
