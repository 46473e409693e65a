// Processor time for the tests that check how a cost grows: unlike the wall clock it does not run on
// while other programs of a busy machine have the processor.
#pragma once

#include <ctime>

namespace testing_time {

// The process's processor seconds so far.
inline double ProcessorSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

} // namespace testing_time
