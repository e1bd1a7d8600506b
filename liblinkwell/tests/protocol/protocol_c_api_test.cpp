// The codec as a host that only calls plain functions sees it: the shared
// library exports each function under its bare C name, and the public header
// compiles as C (protocol_c_client.c).
#include "support/TestSupport.hpp"
#include <linkwell/protocol.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

using testsupport::Bytes;
using testsupport::collect_byte;
using testsupport::hex;

extern "C" int c_client_round_trip(void);

namespace {

const char* const framing_functions[] = {
    "packet_start",
    "process_byte",
    "process_bytes",
    "process_short",
    "process_ushort",
    "process_shorts",
    "process_ushorts",
    "process_int",
    "process_uint",
    "process_ints",
    "process_uints",
    "process_float",
    "process_floats",
    "packet_end",
    "createCommand",
    "isSpecialByte",
    "getInstanceSize",
    "createApplicationProtocol",
    "destroyProtocol",
    "parseData",
    "get_radar_com_version",
    "get_radar_com_build_date",
};

class SharedLibrary {
public:
    SharedLibrary()
        : handle_(dlopen(LINKWELL_SHARED_LIBRARY, RTLD_NOW | RTLD_LOCAL))
    { }
    ~SharedLibrary()
    {
        if (handle_)
            dlclose(handle_);
    }
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    void* symbol(const char* name) const { return dlsym(handle_, name); }

    template <typename Function> Function* function(const char* name) const
    {
        return reinterpret_cast<Function*>(symbol(name));
    }

private:
    void* handle_;
};

void collect_packet(void* user, const uint8_t* data, uint32_t count)
{
    static_cast<std::vector<Bytes>*>(user)->emplace_back(data, data + count);
}

void ignore_error(void*, uint32_t) { }

} // namespace

TEST(ProtocolCApi, SharedLibraryExportsTheFramingFunctionsUnderTheirCNames)
{
    SharedLibrary library;
    ASSERT_TRUE(library.loaded()) << dlerror();
    for (const char* name : framing_functions)
        EXPECT_NE(nullptr, library.symbol(name)) << name;
}

TEST(ProtocolCApi, FunctionsLoadedByNameFrameAndReceive)
{
    SharedLibrary library;
    ASSERT_TRUE(library.loaded()) << dlerror();
    auto* create_command = library.function<decltype(createCommand)>("createCommand");
    auto* instance_size = library.function<decltype(getInstanceSize)>("getInstanceSize");
    auto* create_protocol
        = library.function<decltype(createApplicationProtocol)>("createApplicationProtocol");
    auto* parse_data = library.function<decltype(parseData)>("parseData");
    auto* version = library.function<decltype(get_radar_com_version)>("get_radar_com_version");
    ASSERT_TRUE(create_command && instance_size && create_protocol && parse_data && version);

    const Bytes payload = hex("10 13 7d 51");
    Bytes framed;
    EXPECT_EQ(
        0, create_command(payload.data(), static_cast<uint32_t>(payload.size()), collect_byte, &framed));
    EXPECT_EQ(testsupport::frame(payload), framed);

    std::vector<unsigned char> storage(instance_size());
    Bytes buffer(64);
    std::vector<Bytes> packets;
    ApplicationProtocol* receiver
        = create_protocol(collect_packet, ignore_error, &packets, storage.data(), buffer.data(), 64);
    EXPECT_EQ(1, parse_data(receiver, framed.data(), static_cast<uint32_t>(framed.size())));
    EXPECT_EQ(std::vector<Bytes> { payload }, packets);
    EXPECT_STREQ("0a8e9e99e817", version());
}

TEST(ProtocolCApi, ClientWrittenInCFramesAndReceives)
{
    EXPECT_EQ(0, c_client_round_trip());
}
