// A soft limit on the size of every file the process writes, for as long as
// the object lives: a write past it fails with EFBIG, as on a full disk,
// instead of killing the process (SIGXFSZ is ignored meanwhile). The limit
// holds for every thread of the process.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &old_);
        old_handler_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = old_;
        limited.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limited);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_ {};
    void (*old_handler_)(int) = nullptr;
};

} // namespace testsupport
