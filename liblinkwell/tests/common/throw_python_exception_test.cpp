#include "common/throw_python_exception.hpp"

#include <gtest/gtest.h>

#include <iostream>

TEST(ThrowPythonException, PrintsTheMessageAndReturns)
{
    testing::internal::CaptureStdout();
    EXPECT_NO_THROW(throw_python_exception("abc"));
    EXPECT_EQ("ERROR: abc\n", testing::internal::GetCapturedStdout());
}

// A null message must not leave standard output failed, which would silence
// every later line of the process.
TEST(ThrowPythonException, NullMessagePrintsNullAndLeavesTheStreamUsable)
{
    testing::internal::CaptureStdout();
    throw_python_exception(nullptr);
    const bool good = std::cout.good();
    std::cout << "after" << std::endl;
    EXPECT_EQ("ERROR: (null)\nafter\n", testing::internal::GetCapturedStdout());
    EXPECT_TRUE(good);
}
