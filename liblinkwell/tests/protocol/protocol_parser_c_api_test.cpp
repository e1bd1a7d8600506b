// The message decoders as a host that only calls plain functions sees them:
// exported under their bare C names, with a header that compiles as C
// (protocol_parser_c_client.c).
#include "support/MessagePackets.hpp"
#include <linkwell/protocol.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

extern "C" int c_parser_client(void);

namespace {

const char* const parser_functions[] = {
    "init_host_parser",
    "parse",
    "parse_appdata",
    "parse_pong",
    "parse_ack",
    "parse_error",
    "parse_reply",
    "parse_system_status",
    "parse_data",
    "parse_data_float",
    "parse_respiration_status",
    "parse_sleep_status",
    "parse_vitalsigns_status",
    "parse_sleepstage_status",
    "parse_presence_single",
    "parse_presence_movinglist",
    "parse_respiration_movinglist",
    "parse_respiration_detectionlist",
    "parse_respiration_normalizedmovementlist",
    "parse_baseband_iq",
    "parse_baseband_ap",
    "parse_radar_rf",
    "parse_radar_rf_normalized",
    "parse_radar_baseband_float",
    "parse_radar_baseband_q15",
    "parse_pulsedoppler_float",
    "parse_pulsedoppler_byte",
    "default_pong_callback",
    "default_error_callback",
    "default_ack_callback",
    "default_datafloat_callback",
    "default_reply_callback",
    "default_respiration_callback",
    "default_sleep_callback",
    "default_vitalsigns_callback",
    "default_sleepstage_callback",
    "default_baseband_ap_callback",
    "default_baseband_iq_callback",
    "default_presence_single",
    "default_presence_movinglist",
    "default_system_status",
    "default_respiration_movinglist",
    "default_respiration_detectionlist",
    "default_respiration_normalizedmovementlist",
    "default_pulsedoppler_float_callback",
    "default_pulsedoppler_byte_callback",
    "default_radar_rf_callback",
    "default_radar_rf_normalized_callback",
    "default_radar_baseband_float_callback",
    "default_radar_baseband_q15_callback",
};

} // namespace

TEST(ProtocolParserCApi, SharedLibraryExportsTheDecodersUnderTheirCNames)
{
    void* library = dlopen(LINKWELL_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(nullptr, library) << dlerror();
    for (const char* name : parser_functions)
        EXPECT_NE(nullptr, dlsym(library, name)) << name;

    // A decoder found by name decodes with a table initialised by name.
    auto* init = reinterpret_cast<decltype(init_host_parser)*>(dlsym(library, "init_host_parser"));
    auto* decode = reinterpret_cast<decltype(parse)*>(dlsym(library, "parse"));
    ASSERT_TRUE(init && decode);
    HostParser table;
    init(&table);
    uint32_t pong = 0;
    table.on_pong = [](uint32_t value, void* user) { *static_cast<uint32_t*>(user) = value; };
    const auto packet = testsupport::packets::pong(0xEEAAEAAE);
    EXPECT_EQ(0, decode(&table, packet.data(), static_cast<uint32_t>(packet.size()), &pong));
    EXPECT_EQ(0xEEAAEAAEu, pong);
    dlclose(library);
}

TEST(ProtocolParserCApi, ClientWrittenInCDecodes)
{
    EXPECT_EQ(0, c_parser_client());
}
