// How a twin's result reaches its out-parameters.
#include "command/TwinOutputs.hpp"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <tuple>
#include <vector>

namespace {

using twin_outputs::store_all;

TEST(TwinOutputs, OneResultGoesWholeIntoAPointerOrAReference)
{
    float value = 0;
    store_all(2.5f, &value);
    EXPECT_EQ(2.5f, value);

    std::vector<int> list { 9 };
    std::vector<int> result { 1, 2, 3 };
    const int* storage = result.data();
    store_all(std::move(result), list);
    EXPECT_EQ((std::vector<int> { 1, 2, 3 }), list);
    // Moved, not copied.
    EXPECT_EQ(storage, list.data());
}

TEST(TwinOutputs, PartsAreSpreadFirstPartFirst)
{
    float start = 0, end = 0;
    store_all(std::make_pair(1.0f, 2.0f), &start, &end);
    EXPECT_EQ(1.0f, start);
    EXPECT_EQ(2.0f, end);

    float a = 0, b = 0, c = 0;
    store_all(std::array<float, 3> { 4.0f, 5.0f, 6.0f }, &a, &b, &c);
    EXPECT_EQ(4.0f, a);
    EXPECT_EQ(5.0f, b);
    EXPECT_EQ(6.0f, c);

    unsigned counter = 0;
    std::string text;
    unsigned char byte = 0;
    store_all(
        std::make_tuple(7u, std::string("seven"), static_cast<unsigned char>(0x77)), &counter, text, &byte);
    EXPECT_EQ(7u, counter);
    EXPECT_EQ("seven", text);
    EXPECT_EQ(0x77, byte);
}

} // namespace
