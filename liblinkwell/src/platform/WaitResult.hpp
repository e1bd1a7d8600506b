// The outcome of a bounded wait on a port or socket.
#pragma once

namespace platform {

enum class WaitResult {
    ready, // the operation can go ahead without blocking
    timed_out, // nothing changed within the limit
    interrupted, // the wait was cut short by abort_writes or interrupt_reads
    hung_up, // the other end has gone (nothing left to read)
    failed, // the system call failed; last_error() says why
};

} // namespace platform
