// The message catalogue against packets built apart from it: every kind's
// prefix marks its own packets and no other kind's, every decoder fills the
// record that its row names, and every kind has a test packet.
#include "protocol/MessageCatalogue.hpp"
#include "support/MessagePackets.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <type_traits>
#include <typeindex>

namespace {

namespace packets = testsupport::packets;

bool starts_with(const Bytes& packet, const Bytes& prefix)
{
    return packet.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), packet.begin());
}

std::string name_of(const ::testing::TestParamInfo<const MessageKind*>& info)
{
    return info.param->name;
}

class EveryKind : public ::testing::TestWithParam<const MessageKind*> { };

TEST_P(EveryKind, ItsPrefixMarksItsOwnPacketsAndNoOther)
{
    const MessageKind& kind = *GetParam();
    const Bytes prefix = kind.prefix.to_bytes();
    ASSERT_FALSE(prefix.empty());
    EXPECT_TRUE(starts_with(packets::of_kind(kind), prefix)) << testsupport::to_hex(prefix);
    for (const MessageKind* other : messages::catalogue)
        if (other != &kind) {
            EXPECT_FALSE(starts_with(packets::of_kind(*other), prefix)) << other->name;
        }
}

// The record type of the slot that a decoder calls, as its table sees it.
struct SlotSeen {
    std::type_index record = typeid(void);
    int calls = 0;
};

HostParser recording_table()
{
    HostParser table;
    init_host_parser(&table);
    table.on_error = [](uint32_t, void* user) { static_cast<SlotSeen*>(user)->calls += 100; };
    table.on_system_status = [](SystemStatus, void* user) {
        *static_cast<SlotSeen*>(user) = { typeid(SystemStatus), static_cast<SlotSeen*>(user)->calls + 1 };
    };
#define LINKWELL_RECORDING_SLOT(Codec, Public, slot, fields)                                                 \
    table.slot = [](Codec, void* user) {                                                                     \
        *static_cast<SlotSeen*>(user) = { typeid(Codec), static_cast<SlotSeen*>(user)->calls + 1 };          \
    };
    LINKWELL_MESSAGE_RECORDS(LINKWELL_RECORDING_SLOT)
#undef LINKWELL_RECORDING_SLOT
    return table;
}

// What Parser::decode<Kind> relies on: the decoder of a row fills exactly
// the record that the row names as its Codec.
TEST(MessageCatalogue, EveryDecoderFillsTheRecordItsRowNames)
{
    const HostParser table = recording_table();
    int decoded = 0;
#define LINKWELL_CHECK_DECODER(Tag, ...)                                                                     \
    if constexpr (!std::is_same_v<messages::Tag::Codec, RawPacket>) {                                        \
        const Bytes packet = packets::of_kind(messages::Tag::kind);                                          \
        SlotSeen seen;                                                                                       \
        EXPECT_EQ(0, messages::Tag::kind.decoder(&table, packet.data(), uint32_t(packet.size()), &seen))     \
            << #Tag;                                                                                         \
        EXPECT_EQ(1, seen.calls) << #Tag;                                                                    \
        EXPECT_EQ(std::type_index(typeid(messages::Tag::Codec)), seen.record) << #Tag;                       \
        ++decoded;                                                                                           \
    } else {                                                                                                 \
        EXPECT_EQ(nullptr, messages::Tag::kind.decoder) << #Tag;                                             \
        EXPECT_EQ(nullptr, messages::Tag::kind.reader_error) << #Tag;                                        \
    }
    LINKWELL_MESSAGE_CATALOGUE(LINKWELL_CHECK_DECODER)
#undef LINKWELL_CHECK_DECODER
    EXPECT_GT(decoded, 0);
}

TEST(MessageCatalogue, NamesAndDefaultQueuesAreUnique)
{
    std::set<std::string> names;
    std::set<std::string> queues;
    for (const MessageKind* kind : messages::catalogue) {
        EXPECT_TRUE(names.insert(kind->name).second) << kind->name;
        if (kind->default_queue) {
            EXPECT_TRUE(queues.insert(kind->default_queue).second) << kind->default_queue;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Catalogue, EveryKind,
    ::testing::ValuesIn(std::begin(messages::catalogue), std::end(messages::catalogue)), name_of);

} // namespace
