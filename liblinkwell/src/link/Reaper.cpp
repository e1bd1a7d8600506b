#include "link/Reaper.hpp"

#include "link/ActiveThread.hpp"
#include "log/ConsoleAndFileLogger.hpp"

void Reaper::adopt(std::function<void()> teardown)
{
    // Destroyed in reverse order at exit: the thread, which runs what is
    // still queued, before its logger.
    static VoidLogger logger;
    static ActiveThread thread("reaper", logger);
    thread.add(std::move(teardown));
}
