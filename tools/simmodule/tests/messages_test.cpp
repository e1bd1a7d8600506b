// Replies and data messages in the module's byte layouts.
#include "TestClient.hpp"
#include "simmodule/Messages.hpp"

#include <gtest/gtest.h>

using simtest::to_hex;
using namespace simmodule;

TEST(Messages, RepliesHaveTheModulesLayout)
{
    const struct {
        const char* name;
        Bytes payload;
        const char* expected;
    } cases[] = {
        { "ack", ack_reply(), "10" },
        { "error", error_reply(0x01020304), "20 04 03 02 01" },
        { "pong", pong_reply(0xEEAAEAAE), "01 ae ea aa ee" },
        { "system info", system_info_reply("SN1"), "11 13 58 00 00 00 00 00 00 00 03 00 00 00 53 4e 31" },
        { "byte", byte_reply(0x71AF2A2C, 5), "11 10 2c 2a af 71 00 00 00 00 01 00 00 00 05" },
        { "u32", u32_reply(0x12, 0x0A0B0C0D), "11 11 12 00 00 00 00 00 00 00 04 00 00 00 0d 0c 0b 0a" },
        { "f32 with info", get_reply(0x12, 0x14, { 0, 0, 0x80, 0x3F }, 9),
            "11 12 14 00 00 00 09 00 00 00 04 00 00 00 00 00 80 3f" },
        { "system status", system_status_message(3), "30 03 00 00 00" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, to_hex(c.payload)) << c.name;
}

TEST(Messages, DataMessagesHaveTheModulesLayout)
{
    const struct {
        const char* name;
        Bytes payload;
        const char* expected;
    } cases[] = {
        { "text data", text_data_message(0x11, 0x22, "hi"),
            "a0 13 11 00 00 00 22 00 00 00 02 00 00 00 68 69" },
        { "float data", float_data_message(5, 6, { 1.0f }),
            "a0 12 05 00 00 00 06 00 00 00 04 00 00 00 00 00 80 3f" },
        { "presence single", presence_single_message({ 7, 1, 1.5f, 2, 80 }),
            "50 1e fa 3b 72 07 00 00 00 01 00 00 00 00 00 c0 3f 02 50 00 00 00" },
        { "respiration status", respiration_status_message({ 9, 1, 14, 1.25f, 0.5f, 77 }),
            "50 26 fe 75 23 09 00 00 00 01 00 00 00 0e 00 00 00 00 00 a0 3f 00 00 00 3f 4d 00 00 00" },
        { "sleep status", sleep_status_message({ 9, 3, 12.5f, 1.25f, 77, 0.5f, -2.0f }),
            "50 6c a1 75 23 09 00 00 00 03 00 00 00 00 00 48 41 00 00 a0 3f 4d 00 00 00 00 00 00 3f "
            "00 00 00 c0" },
        // Companion lists shorter than their count are padded with zeros,
        // so the message always has 21 + 8m + 12d bytes.
        { "presence moving list",
            presence_moving_list_message({ 3, 1, { 1.0f, 2.0f }, { 0.5f }, { 3.0f }, {}, { -1.0f } }),
            "50 1f fa 3b 72 03 00 00 00 01 00 00 00 02 00 00 00 01 00 00 00 00 00 80 3f 00 00 00 40 "
            "00 00 00 3f 00 00 00 00 00 00 40 40 00 00 00 00 00 00 80 bf" },
        { "vital signs",
            vital_signs_message({ 2, 7, 12.0f, 1.0f, 0.5f, 60.0f, 1.25f, 0.75f, 2.0f, 3.0f, 0.5f, 4.0f }),
            "50 02 01 02 20 02 00 00 00 07 00 00 00 00 00 40 41 00 00 80 3f 00 00 00 3f 00 00 70 42 "
            "00 00 a0 3f 00 00 40 3f 00 00 00 40 00 00 40 40 00 00 00 3f 00 00 80 40" },
        { "normalized moving list",
            normalized_moving_list_message({ 3, 0.5f, 0.25f, { 1.0f, 2.0f }, { 0.5f } }),
            "50 cf 31 a3 c3 03 00 00 00 00 00 00 3f 00 00 80 3e 02 00 00 00 00 00 80 3f 00 00 00 40 "
            "00 00 00 3f 00 00 00 00" },
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.expected, to_hex(c.payload)) << c.name;
}

TEST(Messages, ListSizesFollowTheirCounts)
{
    EXPECT_EQ(13u + 8 * 3, respiration_moving_list_message({ 1, { 1, 2, 3 }, {} }).size());
    EXPECT_EQ(13u + 12 * 2, respiration_detection_list_message({ 1, { 1, 2 }, { 1, 2, 3 }, {} }).size());
    EXPECT_EQ(21u + 8 * 3, normalized_moving_list_message({ 1, 0, 0, { 1, 2, 3 }, { 1, 2, 3, 4 } }).size());
    EXPECT_EQ(
        21u + 8 * 4 + 12 * 0, presence_moving_list_message({ 1, 0, { 1, 2, 3, 4 }, {}, {}, {}, {} }).size());
}

TEST(Messages, CommandPrefixes)
{
    EXPECT_EQ("90 58 06", to_hex(command::get_system_info(system_info::serial_number)));
    EXPECT_EQ("10 11 2c 2a af 71", to_hex(command::get_led_control()));
}
