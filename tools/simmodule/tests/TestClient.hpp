// A plain host for the simulated module's own tests: raw bytes over a real
// pseudo-terminal or loopback socket, with the shared reference framer so
// that the module's framing is checked against bytes it did not make.
#pragma once

#include "simmodule/SimModule.hpp"
#include "testbytes/TestBytes.hpp"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<uint8_t>;
using Duration = std::chrono::steady_clock::duration;

using testbytes::frame;
using testbytes::hex;
using testbytes::to_hex;

class TestClient {
public:
    // Connects to the module's transport: opens its pseudo-terminal, or
    // connects to its port and waits until the module has accepted.
    explicit TestClient(const simmodule::SimModule& module);
    // Connects to 127.0.0.1:port without waiting to be accepted.
    explicit TestClient(uint16_t port);
    // Opens a pseudo-terminal path.
    explicit TestClient(const std::string& pty_path);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    void send(const Bytes& wire);
    void send_command(const Bytes& payload) { send(frame(payload)); }
    // Reads until `count` bytes came, the timeout passed or the line closed;
    // returns what came.
    Bytes read_exactly(size_t count, Duration timeout = std::chrono::seconds(10));
    // Reads whatever arrives within `quiet`.
    Bytes read_for(Duration quiet);
    // How the module closed the line within the timeout: 0 for an orderly
    // end, an errno value for an error (ECONNRESET, EIO), -1 for still open.
    // Bytes still arriving before the close are discarded.
    int wait_for_close(Duration timeout = std::chrono::seconds(10));
    void close();

private:
    int fd_ = -1;
    bool is_socket_ = false;
};

} // namespace simtest
