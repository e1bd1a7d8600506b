// A flag that another thread can raise and that poll() can watch: the read
// end of a pipe becomes readable, and stays so, once raise() has been called.
#pragma once

namespace platform::posix {

class Wakeup {
public:
    Wakeup();
    ~Wakeup();
    Wakeup(const Wakeup&) = delete;
    Wakeup& operator=(const Wakeup&) = delete;

    // Safe on any thread, any number of times.
    void raise();
    // The descriptor to watch for POLLIN; -1 when no pipe could be made,
    // and then nothing can be woken early.
    int fd() const { return read_end_; }

private:
    int read_end_ = -1;
    int write_end_ = -1;
};

} // namespace platform::posix
