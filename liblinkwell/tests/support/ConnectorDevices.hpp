// One device of each kind for the tests of a connector, of either flavour:
// simulated modules over a pseudo-terminal and over TCP that answer a probe,
// and a recording of three byte-data records with a player of it.
#pragma once

#include <linkwell/Transport.hpp>

#include <arpa/inet.h>
#include <netinet/in.h>

#include <string>

#include "simmodule/SimModule.hpp"
#include "support/PlaybackSession.hpp"
#include "support/SimulatedConnection.hpp"
#include "support/TestSupport.hpp"

namespace testsupport {

// The modules answer this command with this reply, which a transport awaits
// by its prefix.
inline const Bytes probe { 0x55, 0x01 };
inline const Bytes probe_reply { 0x11, 0x55, 0x01 };
inline const Bytes probe_reply_prefix { 0x11, 0x55 };

// A serial port under /dev, where the serial layer looks, that never exists.
inline const std::string missing_port = "/dev/linkwell-test-no-such-port";

// The loopback address, in network byte order as the connectors take it.
inline unsigned loopback()
{
    return htonl(INADDR_LOOPBACK);
}

enum class Device { serial, tcp, playback };

inline const char* name_of(Device device)
{
    return device == Device::serial ? "serial" : device == Device::tcp ? "tcp" : "playback";
}

// Player: the data player of the connector's flavour.
template <typename Player> struct ConnectorDevices {
    simmodule::SimModule serial { simmodule::Transport::Pty };
    simmodule::SimModule tcp { simmodule::Transport::Tcp };
    TempDir recording;
    Player player { write_session(recording.path(), byte_records(3, 0), 10), 1 };

    ConnectorDevices()
    {
        for (simmodule::SimModule* module : { &serial, &tcp })
            module->add_rule(simmodule::Rule(probe).reply(probe_reply));
        player.set_playback_rate(-1);
    }

    // Shows that the connector reaches its device: the module answers the
    // probe, the recording plays.
    template <typename Connector> void expect_reached(Device device, Connector& connector)
    {
        Sarvik::Transport& transport = connector.get_transport();
        if (device != Device::playback) {
            EXPECT_EQ(probe_reply, transport.send_command_single(probe, probe_reply_prefix));
            return;
        }
        transport.subscribe("played", { 0xA0, 0x10 });
        player.play();
        EXPECT_TRUE(eventually([&] { return transport.get_number_of_packets("played") == 3; }));
        // The next connector plays from the first record again.
        player.stop();
    }
};

} // namespace testsupport
