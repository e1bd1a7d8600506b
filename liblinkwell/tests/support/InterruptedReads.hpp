// What stopping a reader promises of any module link: interrupt_reads() cuts
// a long read short at once, and every later read returns at once too, even
// with data waiting.
#pragma once

#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "support/TestSupport.hpp"

namespace testsupport {

// `io` is an open link; `module_sends` makes the module's end send bytes.
template <typename Io, typename Send> void expect_interrupted_reads_end_at_once(Io& io, Send module_sends)
{
    using Clock = std::chrono::steady_clock;
    std::atomic<Clock::time_point> interrupted_at { Clock::time_point::max() };
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        interrupted_at = Clock::now();
        io.interrupt_reads();
    });
    unsigned char buffer[64];
    const int result = io.read(buffer, sizeof buffer, 20000);
    const auto returned = Clock::now();
    stopper.join();
    EXPECT_EQ(0, result);
    EXPECT_LT(returned - interrupted_at.load(), std::chrono::seconds(1));

    module_sends(hex("01 02"));
    const auto again = Clock::now();
    EXPECT_EQ(0, io.read(buffer, sizeof buffer, 20000));
    EXPECT_LT(Clock::now() - again, std::chrono::seconds(1));
}

} // namespace testsupport
