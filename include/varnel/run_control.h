// How a long call over a whole reader study runs: on how many threads, whom
// it tells how far it is, and how it is asked to stop.
#pragma once

#include <atomic>
#include <functional>

namespace varnel {

struct RunControl {
    // Threads for the fits; 0: one per core.  The results are the same, bit
    // for bit, for every number of threads.
    int threads = 0;
    // Called on the calling thread (never on a worker) with the number of
    // fits done and the number of fits known so far: when a stage of fits
    // begins, as fits finish (at least every 0.1 s) and once when the stage
    // has ended.  `done` never decreases;
    // `total` grows when a further stage begins (e.g. the next target class
    // of a comparison).  A front end may check for an interrupt here and set
    // the cancellation flag.  It must not throw.
    std::function<void(int done, int total)> progress;
    // When set and it becomes true (from any thread, a signal handler, or the
    // progress callback), the call stops between fits, waits for the fits
    // running (a fit takes milliseconds), ends its threads and returns an
    // error of kind ErrorKind::cancelled; it writes nothing.
    const std::atomic<bool>* cancel = nullptr;
};

// The threads a call runs on: `threads`, or one per core for 0 (at least 1).
int thread_count(const RunControl& run);

// Whether the call has been asked to stop.
inline bool cancel_requested(const RunControl& run)
{
    return run.cancel != nullptr && run.cancel->load(std::memory_order_relaxed);
}

}  // namespace varnel
