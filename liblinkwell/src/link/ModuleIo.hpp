// The byte-level pipe to one radar module: open it by name, write bytes, read
// whatever bytes have arrived, set the line speed. The connection's reader
// thread reads while the caller's thread writes, so implementations must allow
// one read and one write at the same time.
#pragma once

#include <string>

class ModuleIo {
public:
    virtual ~ModuleIo();

    // Returns 0 on success, otherwise an error code.
    virtual int open(const std::string& name) = 0;

    // Changes the line speed of an open port; transports without a line speed
    // ignore it.
    virtual void set_baudrate(unsigned baudrate) = 0;

    // Returns the number of bytes written (a short count is possible), or -1.
    virtual int write(const unsigned char* data, unsigned length) = 0;

    // Returns the number of bytes read, 0 when nothing arrived within the
    // transport's own short wait, or a negative value when the link is broken.
    // The timeout argument is not used by any transport.
    virtual int read(unsigned char* buffer, unsigned size, unsigned timeout) = 0;
};
