#include "link/OverlappedModuleIo.hpp"
#include "support/InterruptedReads.hpp"
#include "support/LogChecks.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <memory>
#include <pty.h>
#include <stdexcept>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "support/TestSupport.hpp"

namespace {

using Clock = std::chrono::steady_clock;
using testsupport::Bytes;
using testsupport::dump;
using testsupport::logged_at;
using testsupport::logged_error;

// A pseudo-terminal pair: the module io opens the device side by its path,
// the test plays the module on the controlling side.
class SerialPort : public ::testing::Test {
protected:
    void SetUp() override
    {
        char name[256] = {};
        ASSERT_EQ(0, openpty(&module_, &device_, name, nullptr, nullptr));
        path_ = name;
        io_ = std::make_unique<OverlappedModuleIo>(log_);
    }
    void TearDown() override
    {
        io_.reset();
        close_module_side();
        if (device_ >= 0)
            ::close(device_);
    }

    void close_module_side()
    {
        if (module_ >= 0)
            ::close(module_);
        module_ = -1;
    }

    void open_port() { ASSERT_EQ(0, io_->open(path_)) << dump(log_); }

    void module_sends(const Bytes& bytes)
    {
        ASSERT_EQ(static_cast<ssize_t>(bytes.size()), ::write(module_, bytes.data(), bytes.size()));
    }

    // Waits until the port's driver holds count received bytes.
    void await_waiting(int count)
    {
        const auto deadline = Clock::now() + std::chrono::seconds(5);
        int waiting = 0;
        while (Clock::now() < deadline) {
            ASSERT_EQ(0, ioctl(device_, FIONREAD, &waiting));
            if (waiting >= count)
                return;
            std::this_thread::yield();
        }
        FAIL() << "only " << waiting << " of " << count << " bytes arrived";
    }

    // What the module side receives, until count bytes or five seconds.
    Bytes module_receives(size_t count) { return testsupport::read_exactly(module_, count); }

    Bytes port_receives(size_t count) { return testsupport::read_from(*io_, count); }

    termios device_settings()
    {
        termios settings {};
        EXPECT_EQ(0, tcgetattr(device_, &settings));
        return settings;
    }

    static Bytes every_byte_value()
    {
        Bytes all;
        for (int i = 0; i < 256; ++i)
            all.push_back(static_cast<uint8_t>(i));
        return all;
    }

    testsupport::RecordingLogger log_;
    int module_ = -1;
    int device_ = -1;
    std::string path_;
    std::unique_ptr<OverlappedModuleIo> io_;
};

} // namespace

TEST_F(SerialPort, OpensByPathInRawMode115200With8N1)
{
    open_port();
    EXPECT_TRUE(logged_at(log_, 2, "Opening serial port \"" + path_ + "\" - here we go")) << dump(log_);
    EXPECT_TRUE(logged_at(log_, 5, "open " + path_));

    const termios settings = device_settings();
    EXPECT_EQ(static_cast<speed_t>(B115200), cfgetospeed(&settings));
    EXPECT_EQ(static_cast<speed_t>(B115200), cfgetispeed(&settings));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), settings.c_cflag & CSIZE);
    EXPECT_FALSE(settings.c_cflag & PARENB);
    EXPECT_FALSE(settings.c_cflag & CSTOPB);
    EXPECT_TRUE(settings.c_cflag & CREAD);
    EXPECT_TRUE(settings.c_cflag & CLOCAL);
    EXPECT_FALSE(settings.c_lflag & (ICANON | ECHO | ISIG | IEXTEN));
    EXPECT_FALSE(settings.c_oflag & OPOST);
    EXPECT_FALSE(settings.c_iflag & (IXON | IXOFF | ICRNL | INLCR | IGNCR | ISTRIP));
}

// A pseudo-terminal has no modem lines, like some adapters: the refused DTR
// is a detail (level 5), not an error, and the port works.
TEST_F(SerialPort, RefusedDtrIsADetailNotAnError)
{
    open_port();
    bool detail = false;
    for (const auto& entry : log_.entries())
        detail
            = detail || (!entry.is_error && entry.level == 5 && entry.text.rfind("DTR not raised: ", 0) == 0);
    EXPECT_TRUE(detail) << dump(log_);
    EXPECT_TRUE(log_.errors().empty()) << dump(log_);
}

// A bare name is a device under /dev and may not lead anywhere else: such
// names are refused before anything is opened.
TEST_F(SerialPort, BareNamesThatLeaveDevAreRefusedUnopened)
{
    for (const std::string name : { "", "pts/0", "../etc/hostname", "..", "tty..0" }) {
        SCOPED_TRACE(name);
        testsupport::RecordingLogger log;
        OverlappedModuleIo io(log);
        EXPECT_EQ(EINVAL, io.open(name));
        EXPECT_TRUE(logged_error(log, "Error creating file\n")) << dump(log);
        EXPECT_FALSE(logged_at(log, 2, "Opening serial port \"/dev/" + name + "\" - here we go"))
            << dump(log);
        unsigned char byte = 0;
        EXPECT_EQ(-1, io.write(&byte, 1));
    }
    // A path is taken as it is.
    ASSERT_EQ(0, io_->open(path_)) << dump(log_);
    EXPECT_TRUE(logged_at(log_, 2, "Opening serial port \"" + path_ + "\" - here we go")) << dump(log_);
}

TEST_F(SerialPort, MissingPortReturnsTheSystemErrorCode)
{
    int result = 0;
    EXPECT_NO_THROW(result = io_->open("ttyNoSuchPort-7"));
    EXPECT_EQ(ENOENT, result);
    EXPECT_TRUE(logged_at(log_, 2, "Opening serial port \"/dev/ttyNoSuchPort-7\" - here we go"))
        << dump(log_);
    EXPECT_TRUE(logged_error(log_, "Error creating file\n")) << dump(log_);

    unsigned char byte = 0;
    EXPECT_EQ(-1, io_->read(&byte, 1, 500));
    EXPECT_EQ(-1, io_->write(&byte, 1));
}

TEST_F(SerialPort, SecondOpenerIsRefusedUntilTheFirstLetsGo)
{
    open_port();
    testsupport::RecordingLogger second_log;
    {
        OverlappedModuleIo second(second_log);
        EXPECT_NE(0, second.open(path_));
        EXPECT_TRUE(logged_error(second_log, "Error creating file\n")) << dump(second_log);
    }
    io_.reset();
    OverlappedModuleIo third(second_log);
    EXPECT_EQ(0, third.open(path_)) << dump(second_log);
}

TEST_F(SerialPort, EveryByteValuePassesUnchangedBothWays)
{
    open_port();
    const Bytes all = every_byte_value();

    ASSERT_EQ(256, io_->write(all.data(), static_cast<unsigned>(all.size())));
    EXPECT_EQ(testsupport::to_hex(all), testsupport::to_hex(module_receives(all.size())));

    module_sends(all);
    EXPECT_EQ(testsupport::to_hex(all), testsupport::to_hex(port_receives(all.size())));
}

TEST_F(SerialPort, IdleReadReturnsNothingAfterItsTimeout)
{
    open_port();
    unsigned char buffer[16];
    const auto start = Clock::now();
    EXPECT_EQ(0, io_->read(buffer, sizeof buffer, 300));
    const auto waited = Clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(290));
    EXPECT_LT(waited, std::chrono::seconds(2));
    EXPECT_TRUE(logged_at(log_, 6, "do_single_read returning: 0")) << dump(log_);
}

// Stopping the reader cuts its long wait short at once, and every later
// read returns at once too, data or not.
TEST_F(SerialPort, InterruptReadsEndsAWaitingReadAtOnceAndForGood)
{
    open_port();
    testsupport::expect_interrupted_reads_end_at_once(
        *io_, [this](const Bytes& bytes) { module_sends(bytes); });
}

TEST_F(SerialPort, ReadTakesWhatIsWaitingUpToTheBufferSize)
{
    open_port();
    module_sends(testsupport::hex("01 02 03 04 05"));
    await_waiting(5);

    unsigned char buffer[3] = {};
    ASSERT_EQ(3, io_->read(buffer, 3, 500));
    EXPECT_EQ("01 02 03", testsupport::to_hex(Bytes(buffer, buffer + 3)));
    EXPECT_TRUE(logged_at(log_, 5, "bytes in in queue 4")) << dump(log_);

    ASSERT_EQ(2, io_->read(buffer, 3, 500));
    EXPECT_EQ("04 05", testsupport::to_hex(Bytes(buffer, buffer + 2)));
}

TEST_F(SerialPort, ReadWithRoomForOneByteTakesOnlyTheFirst)
{
    open_port();
    module_sends(testsupport::hex("aa bb"));
    await_waiting(2);

    unsigned char byte = 0;
    ASSERT_EQ(1, io_->read(&byte, 1, 500));
    EXPECT_EQ(0xaa, byte);
    EXPECT_TRUE(logged_at(log_, 5, "timeout multi byte")) << dump(log_);
    ASSERT_EQ(1, io_->read(&byte, 1, 500));
    EXPECT_EQ(0xbb, byte);

    EXPECT_EQ(0, io_->read(&byte, 0, 500));
}

// A reader that got 0 forever from a vanished device would spin; a hang-up
// must end reading.
TEST_F(SerialPort, HangUpOfTheOtherSideFailsEveryLaterRead)
{
    open_port();
    module_sends(testsupport::hex("10 20 30"));
    EXPECT_EQ("10 20 30", testsupport::to_hex(port_receives(3)));
    close_module_side();

    unsigned char buffer[8];
    const auto start = Clock::now();
    EXPECT_EQ(-1, io_->read(buffer, sizeof buffer, 500));
    EXPECT_EQ(-1, io_->read(buffer, sizeof buffer, 500));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(1));
    EXPECT_EQ(2, log_.count("do_single_read failed\n")) << dump(log_);
}

TEST_F(SerialPort, SetBaudrateChangesTheLineSpeed)
{
    open_port();
    io_->set_baudrate(9600);
    const termios slow = device_settings();
    EXPECT_EQ(static_cast<speed_t>(B9600), cfgetospeed(&slow));
    io_->set_baudrate(921600);
    const termios settings = device_settings();
    EXPECT_EQ(static_cast<speed_t>(B921600), cfgetospeed(&settings));
    EXPECT_EQ(static_cast<tcflag_t>(CS8), settings.c_cflag & CSIZE);

    module_sends(testsupport::hex("7e 7d"));
    EXPECT_EQ("7e 7d", testsupport::to_hex(port_receives(2)));
}

// A refused setting fails the port for good, but the port stays held until
// the object goes, so nobody else gets a half-configured device.
TEST_F(SerialPort, RefusedSpeedFailsThePortButKeepsItHeld)
{
    open_port();
    try {
        io_->set_baudrate(12345);
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ("Unable to set serial devicde parameters", e.what());
    }
    EXPECT_TRUE(logged_error(log_, "Error setting device parameters\n")) << dump(log_);

    module_sends(testsupport::hex("01"));
    unsigned char byte = 0x55;
    EXPECT_EQ(-1, io_->read(&byte, 1, 500));
    EXPECT_EQ(-1, io_->write(&byte, 1));
    EXPECT_EQ(-1, io_->write(&byte, 1));
    EXPECT_THROW(io_->set_baudrate(115200), std::runtime_error);

    testsupport::RecordingLogger other_log;
    OverlappedModuleIo other(other_log);
    EXPECT_NE(0, other.open(path_));
}

// A file or a device that is not a terminal is refused with ENOTTY before
// any line setting is tried, and open never throws for it.
TEST_F(SerialPort, DeviceThatIsNoTerminalIsRefusedWithoutAThrow)
{
    testsupport::TempDir dir;
    const std::string file = dir.path() + "/not-a-port";
    ::close(::open(file.c_str(), O_CREAT | O_WRONLY, 0600));
    for (const std::string& path : { file, std::string("/dev/null") }) {
        SCOPED_TRACE(path);
        testsupport::RecordingLogger log;
        OverlappedModuleIo io(log);
        int result = 0;
        EXPECT_NO_THROW(result = io.open(path));
        EXPECT_EQ(ENOTTY, result);
        EXPECT_TRUE(logged_error(log, "Error creating file\n")) << dump(log);
        EXPECT_FALSE(logged_error(log, "Error getting device state\n")) << dump(log);
        unsigned char byte = 0;
        EXPECT_EQ(-1, io.write(&byte, 1));
    }
}

// A module that takes nothing: a write gives up after write_wait with what
// went out, and abort_writes cuts a blocked write short at once.
TEST_F(SerialPort, WriteToAModuleThatReadsNothingIsBoundedAndAbortable)
{
    open_port();
    const Bytes block(64 * 1024, 0x55);
    // The terminal's buffer fills up: the write returns what went out.
    EXPECT_LT(io_->write(block.data(), static_cast<unsigned>(block.size())), static_cast<int>(block.size()));

    // Whatever room is still made, the writes end with -1 once aborted.
    std::atomic<Clock::time_point> aborted_at { Clock::time_point::max() };
    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        aborted_at = Clock::now();
        io_->abort_writes();
    });
    int result = 0;
    for (int round = 0; round < 100 && result >= 0; ++round)
        result = io_->write(block.data(), static_cast<unsigned>(block.size()));
    const auto returned = Clock::now();
    closer.join();
    EXPECT_EQ(-1, result);
    EXPECT_LT(returned - aborted_at.load(), ModuleIo::write_wait);
    EXPECT_EQ(-1, io_->write(block.data(), 1)); // and stays aborted
}

// The reader thread reads while callers write and change the speed.
TEST_F(SerialPort, ReadsWritesAndSpeedChangesOverlap)
{
    open_port();
    Bytes inbound;
    for (int i = 0; i < 4000; ++i)
        inbound.push_back(static_cast<uint8_t>(i * 7));

    Bytes read_by_port;
    std::thread reader([&] { read_by_port = port_receives(inbound.size()); });
    std::thread module([&] {
        for (size_t at = 0; at < inbound.size(); at += 100)
            module_sends(Bytes(inbound.begin() + at, inbound.begin() + std::min(at + 100, inbound.size())));
    });
    const Bytes outbound = every_byte_value();
    for (int round = 0; round < 8; ++round) {
        ASSERT_EQ(256, io_->write(outbound.data(), 256));
        io_->set_baudrate(round % 2 ? 115200 : 230400);
    }
    const Bytes written = module_receives(8 * 256);
    module.join();
    reader.join();

    EXPECT_EQ(8u * 256u, written.size());
    EXPECT_EQ(testsupport::to_hex(inbound), testsupport::to_hex(read_by_port));
}

TEST(CreateModuleIo, MakesASerialPort)
{
    testsupport::RecordingLogger log;
    std::unique_ptr<ModuleIo> io(createModuleIo(log));
    EXPECT_NE(nullptr, dynamic_cast<OverlappedModuleIo*>(io.get()));
    EXPECT_TRUE(logged_at(log, 3, "creating moduel IO\n")) << dump(log);
    EXPECT_TRUE(logged_at(log, 5, "OverlappedModuleIo"));
    io.reset();
    EXPECT_TRUE(logged_at(log, 3, "~OverlappedModuleIo"));
}

TEST(GetLastErrorString, DescribesErrnoOrNothing)
{
    errno = 0;
    EXPECT_EQ("", GetLastErrorString());
    errno = ENOENT;
    EXPECT_EQ("No such file or directory", GetLastErrorString());
}
