#include <linkwell/PyDataPlayer.hpp>
#include <linkwell/PythonLinkwell.hpp>
#include <linkwell/Transport.hpp>

#include "support/PlaybackSession.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

#include <gtest/gtest.h>

#include <memory>

#include <stdexcept>
#include <thread>
#include <type_traits>

using Sarvik::PyDataPlayer;
using testsupport::byte_data_type;
using testsupport::byte_records;
using testsupport::eventually;
using testsupport::TempDir;
using testsupport::write_session;

static_assert(
    !std::is_copy_constructible_v<
        PyDataPlayer> && !std::is_move_constructible_v<PyDataPlayer> && !std::is_copy_assignable_v<PyDataPlayer> && !std::is_move_assignable_v<PyDataPlayer>);

TEST(PyDataPlayer, TheConstructorLetsThePlayersRefusalThrough)
{
    TempDir dir;
    const std::string missing = dir.path() + "/missing.dat";
    try {
        PyDataPlayer player(missing, -1);
        ADD_FAILURE() << "opened";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ("failed to open recording" + missing, std::string(e.what()));
    }
}

TEST(PyDataPlayer, ForwardsEveryCallToItsPlayer)
{
    TempDir dir;
    const std::string index = write_session(dir.path(), byte_records(3, 1000), 2000);
    PyDataPlayer player(index, 1);
    EXPECT_EQ(index, player.meta_filename());
    EXPECT_EQ(2000, player.get_duration());

    EXPECT_EQ(1, player.set_filter(0));
    EXPECT_EQ(0, player.set_filter(byte_data_type));
    EXPECT_EQ(byte_data_type, player.get_filter());
    player.set_loop_mode_enabled(true);
    EXPECT_TRUE(player.get_loop_mode_enabled());
    EXPECT_EQ(1, player.set_position(2001));

    // The requests act on the playback clock at once.
    player.set_playback_rate(4.0f);
    EXPECT_EQ(4.0f, player.get_playback_rate());
    EXPECT_EQ(0, player.set_position(500));
    player.play();
    EXPECT_TRUE(eventually([&] { return player.get_position() > 500; }));
    player.pause();
    const long long paused_at = player.get_position();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(paused_at, player.get_position());
    player.stop();
    EXPECT_EQ(0, player.get_position());
}

TEST(PyDataPlayer, AConnectorPlayingItSharesItsPlayer)
{
    // The player handed to the connector goes first, while it plays; the
    // connector goes on playing the recording and is destroyed cleanly.
    TempDir dir;
    const std::string index = write_session(dir.path(), byte_records(200, 10), 2000);
    auto player = std::make_unique<PyDataPlayer>(index, -1);
    Sarvik::PythonLinkwell connector(*player, 0);
    Sarvik::Transport& transport = connector.get_transport();
    ASSERT_EQ(0, transport.subscribe("played", { 0xA0, 0x10 }));
    player->set_playback_rate(8.0f);
    player->play();
    ASSERT_TRUE(eventually([&] { return transport.get_number_of_packets("played") > 0; }));
    player.reset();
    const int before = transport.get_number_of_packets("played");
    EXPECT_TRUE(eventually([&] { return transport.get_number_of_packets("played") > before; }));
}
