// What an action writes to standard output, for tests of the lines that the
// recording code reports there.
#pragma once

#include <functional>
#include <string>

#include <gtest/gtest.h>

namespace testsupport {

inline std::string stdout_of(const std::function<void()>& action)
{
    testing::internal::CaptureStdout();
    action();
    return testing::internal::GetCapturedStdout();
}

} // namespace testsupport
