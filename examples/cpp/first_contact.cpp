// first_contact: the library's first steps with a presence module.
//
//   first_contact ADDRESS SESSION_DIRECTORY
//
// ADDRESS is a serial port (/dev/ttyUSB0) or host:port for a module on
// TCP/IP (127.0.0.1:5000). The program connects, pings the module, prints
// its identity, reads a few presence messages, records three seconds of them
// into a session under SESSION_DIRECTORY, and plays that session back,
// printing each message as it arrives. Every step has a time limit; the exit
// status is 0 when every step worked, 1 when one failed and 2 for bad
// arguments.
#include <linkwell/DataPlayer.hpp>
#include <linkwell/DataReader.hpp>
#include <linkwell/Linkwell.hpp>
#include <linkwell/RecordingOptions.hpp>

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int log_level = 0; // the library's errors only
constexpr auto message_wait = 5s;
constexpr auto recording_time = 3s;
constexpr int playback_speed = 4;

// The library's log lines go to standard error, apart from the results.
class StderrLog : public Sarvik::AbstractLoggerIo {
public:
    void log(const std::string& line) override { std::cerr << "linkwell: " << line << '\n'; }
};

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A module on TCP/IP: the address and port in network byte order.
struct TcpAddress {
    unsigned ip = 0;
    unsigned short port = 0;
};

bool is_tcp_address(const std::string& address)
{
    return !address.empty() && address[0] != '/' && address[0] != '.'
        && address.find(':') != std::string::npos;
}

TcpAddress resolve(const std::string& address)
{
    const size_t colon = address.rfind(':');
    const std::string host = address.substr(0, colon);
    const std::string port_text = address.substr(colon + 1);
    if (host.empty() || port_text.empty() || port_text.size() > 5
        || port_text.find_first_not_of("0123456789") != std::string::npos || std::stoul(port_text) == 0
        || std::stoul(port_text) > 65535)
        throw Failure("not a host:port address: " + address);

    addrinfo hints {};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    const int error = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (error != 0 || found == nullptr)
        throw Failure("cannot resolve " + host + ": " + ::gai_strerror(error));
    TcpAddress result;
    result.ip = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    result.port = htons(static_cast<unsigned short>(std::stoul(port_text)));
    ::freeaddrinfo(found);
    return result;
}

std::string describe(const Sarvik::PresenceSingleData& m)
{
    char text[160];
    if (m.presence_state == 0) {
        std::snprintf(text, sizeof text, "frame %u, nobody present", m.frame_counter);
    } else {
        const char* direction = m.direction == 1 ? "approaching" : m.direction == 2 ? "moving away" : "still";
        std::snprintf(text, sizeof text, "frame %u, present at %.2f m, %s, signal quality %u",
            m.frame_counter, static_cast<double>(m.distance), direction, m.signal_quality);
    }
    return text;
}

// Waits until a presence message is queued; false when none came in time.
bool wait_for_presence(Sarvik::Osprey& module, Clock::time_point deadline)
{
    while (module.peek_message_presence_single() == 0) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return true;
}

Sarvik::PresenceSingleData read_presence(Sarvik::Osprey& module)
{
    Sarvik::PresenceSingleData message;
    const int status = module.read_message_presence_single(&message);
    if (status != 0)
        throw Failure("reading a presence message failed with status " + std::to_string(status));
    return message;
}

void check(int status, const std::string& what)
{
    if (status != 0)
        throw Failure(what + " failed with status " + std::to_string(status));
}

void print_identity(Sarvik::Osprey& module)
{
    static const char* const names[] = { "item number", "order code", "firmware id", "firmware version",
        "build info", "application ids", "serial number" };
    for (uint8_t code = 0; code < 7; ++code) {
        std::string text;
        check(module.get_system_info(code, &text), std::string("asking for the ") + names[code]);
        std::cout << names[code] << ": " << text << '\n';
    }
}

// Records the presence stream into the directory for a while and returns the
// name of the session's index file, the file a player or reader opens.
std::string record(Sarvik::Linkwell& connector, const std::string& directory)
{
    Sarvik::DataRecorder& recorder = connector.get_data_recorder();
    // Shared with the callbacks, which run on the recorder's thread and may
    // still be on their way out when this function returns.
    struct Outcome {
        std::mutex mutex;
        std::condition_variable finished;
        std::string index_file;
        std::string error;
    };
    const auto outcome = std::make_shared<Outcome>();
    recorder.subscribe_to_meta_file_available([outcome](const std::string&, const std::string& name) {
        std::lock_guard<std::mutex> lock(outcome->mutex);
        outcome->index_file = name;
        outcome->finished.notify_all();
    });
    recorder.set_error_callback([outcome](const std::string& text) {
        std::lock_guard<std::mutex> lock(outcome->mutex);
        if (outcome->error.empty())
            outcome->error = text;
    });

    // The recorder makes its session directory inside the given one, which
    // must exist.
    std::error_code error;
    std::filesystem::create_directories(directory, error);
    if (error)
        throw Failure("cannot create " + directory + ": " + error.message());
    std::cout << "recording presence messages for " << recording_time.count() << " s into " << directory
              << std::endl;
    check(recorder.start_recording(Sarvik::PresenceSingleDataType, directory, Sarvik::RecordingOptions()),
        "starting the recording");
    std::this_thread::sleep_for(recording_time);
    recorder.stop_recording(Sarvik::PresenceSingleDataType);

    std::unique_lock<std::mutex> lock(outcome->mutex);
    outcome->finished.wait_for(
        lock, 10s, [&] { return !outcome->index_file.empty() || !outcome->error.empty(); });
    const std::string name = outcome->index_file;
    const std::string failure = outcome->error;
    lock.unlock();
    recorder.set_error_callback(nullptr);
    recorder.unsubscribe_to_meta_file_available();
    if (!failure.empty())
        throw Failure("recording failed: " + failure);
    if (name.empty())
        throw Failure("the recording was not finished in time");
    return name;
}

// The number of presence records in the session and its length in ms.
std::pair<int, long long> count_records(const std::string& index_file)
{
    Sarvik::DataReader reader;
    check(reader.open(index_file, -1), "opening the recorded session " + index_file);
    int count = 0;
    for (Sarvik::DataRecord record = reader.read_record(); record.is_valid; record = reader.read_record())
        if (record.data_type == Sarvik::PresenceSingleDataType && !record.is_user_header
            && !record.is_csv_header())
            ++count;
    return { count, reader.get_duration() };
}

// Plays the session back as if the module were attached and prints what
// arrives; returns the number of presence messages.
int play_back(const std::string& index_file, int expected, long long duration_ms)
{
    Sarvik::DataPlayer player(index_file, -1);
    Sarvik::Linkwell connector(player, log_level, new StderrLog);
    Sarvik::Osprey& module = connector.get_osprey();
    player.set_playback_rate(static_cast<float>(playback_speed));
    player.play();

    std::cout << "playing back at " << playback_speed << "x speed" << std::endl;
    const auto deadline = Clock::now() + std::chrono::milliseconds(duration_ms) / playback_speed + 5s;
    int received = 0;
    uint32_t last_frame = 0;
    while (received < expected && wait_for_presence(module, deadline)) {
        const Sarvik::PresenceSingleData message = read_presence(module);
        std::cout << "playback: " << describe(message) << '\n';
        // The module counts its frames: a recording plays back in their order.
        if (received > 0 && message.frame_counter <= last_frame)
            throw Failure("playback out of order: frame " + std::to_string(message.frame_counter) + " after "
                + std::to_string(last_frame));
        last_frame = message.frame_counter;
        ++received;
    }
    player.stop();
    return received;
}

int run(const std::string& address, const std::string& directory)
{
    std::unique_ptr<Sarvik::Linkwell> connector;
    try {
        if (is_tcp_address(address)) {
            const TcpAddress tcp = resolve(address);
            std::cout << "connecting to " << address << " over TCP/IP" << std::endl;
            connector = std::make_unique<Sarvik::Linkwell>(tcp.ip, tcp.port, log_level, new StderrLog);
        } else {
            std::cout << "connecting to serial port " << address << std::endl;
            connector = std::make_unique<Sarvik::Linkwell>(address, log_level, new StderrLog);
        }
    } catch (const std::runtime_error& e) {
        throw Failure(std::string("cannot connect: ") + e.what());
    }
    Sarvik::Osprey& module = connector->get_osprey();

    uint32_t pong = 0;
    if (module.ping(&pong) != 0)
        throw Failure("no answer to ping from " + address);
    std::cout << "ping: pong " << pong << std::endl;
    print_identity(module);

    // The module measures and streams its messages in run mode.
    check(module.set_sensor_mode(1, 0), "switching the module to run mode");
    std::cout << "reading presence messages" << std::endl;
    for (int i = 0; i < 5; ++i) {
        if (!wait_for_presence(module, Clock::now() + message_wait))
            throw Failure("no presence message within " + std::to_string(message_wait.count()) + " s");
        std::cout << "presence: " << describe(read_presence(module)) << '\n';
    }

    const std::string index_file = record(*connector, directory);
    connector.reset();
    const auto [records, duration_ms] = count_records(index_file);
    std::cout << "recorded " << records << " presence messages in " << duration_ms << " ms: " << index_file
              << std::endl;
    if (records == 0)
        throw Failure("nothing was recorded");

    const int played = play_back(index_file, records, duration_ms);
    std::cout << "played back " << played << " of " << records << " presence messages" << std::endl;
    if (played != records)
        throw Failure("the playback ended early");
    std::cout << "first contact done" << std::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::cerr << "usage: first_contact ADDRESS SESSION_DIRECTORY\n"
                     "  ADDRESS            a serial port (/dev/ttyUSB0) or host:port of a module on TCP/IP\n"
                     "  SESSION_DIRECTORY  where the recorded session goes (created if missing)\n";
        return 2;
    }
    try {
        return run(argv[1], argv[2]);
    } catch (const std::exception& e) {
        std::cout << std::flush;
        std::cerr << "first_contact: error: " << e.what() << std::endl;
        return 1;
    }
}
