// Finishes tearing down what cannot be destroyed on the thread that lets go
// of it. A connection closed or destroyed from one of its own callbacks runs
// on its dispatcher thread, which cannot join itself: that thread and its
// dispatcher are handed here and destroyed on the reaper's own thread once
// the callback has returned. One active thread per process, made when first
// needed and joined when the process exits.
#pragma once

#include <functional>

class Reaper {
public:
    // Runs the tear-down on the reaper thread, after every one handed over
    // before. It must not throw and must not log through a logger that may
    // be gone by then.
    static void adopt(std::function<void()> teardown);
};
