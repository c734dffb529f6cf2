#include "sim/short_nap.h"

#include <thread>

#include <sys/prctl.h>

void ShortNap(std::chrono::nanoseconds duration) {
    thread_local bool slackSet = false;
    if (!slackSet) {
        prctl(PR_SET_TIMERSLACK, 1000UL);
        slackSet = true;
    }
    std::this_thread::sleep_for(duration);
}
