// An active object: something that runs posted tasks one after another on a
// thread of its own. Components that post work hold an Active* and never know
// the thread behind it.
#pragma once

#include <functional>

class Active {
public:
    virtual ~Active() = default;

    // Queues a task; tasks run in the order they were added. A task must not
    // let an exception escape.
    virtual void add(std::function<void()> task) = 0;

    // Runs what is queued, ends the thread and waits for it. Later tasks are
    // dropped. Never call it from the active thread itself.
    virtual void stop() = 0;
};
