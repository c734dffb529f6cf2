#include "transfer/batch_stop.h"

#include <atomic>

namespace {
std::atomic<bool> stopRequested{false};
} // namespace

void RequestBatchStop() {
    stopRequested = true;
}

bool BatchStopRequested() {
    return stopRequested.load();
}
