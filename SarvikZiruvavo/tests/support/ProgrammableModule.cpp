#include "ProgrammableModule.hpp"

#include "device/DeviceSearch.hpp"
#include "support/HexFiles.hpp"

#include "simmodule/Personality.hpp"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>

ProgrammableModule::Script ProgrammableModule::falcon(const std::string& serialNumber)
{
    Script script;
    script.application = simmodule::personality("falcon");
    script.application.serial_number = serialNumber;
    script.bootloader.info
        = "SARVIK BOOTLOADER V:1.4.0 H:Falcon R:SerialNumber = \"" + serialNumber + "\" Variant = \"4bl\"";
    return script;
}

ProgrammableModule::Script ProgrammableModule::embeddedPlatform(const std::string& coreId)
{
    Script script;
    script.application = simmodule::personality("dax");
    script.application.core_id = coreId;
    script.bootloader.info = "SARVIK OPENBOOTLOADER V:2.0.1 ID:" + coreId;
    return script;
}

ProgrammableModule::Script ProgrammableModule::corvid()
{
    Script script;
    script.application = simmodule::personality("corvid");
    script.bootloader.info = "SARVIK BOOTLOADER V:1.0.2 H:Corvid";
    script.keeps_port = true;
    return script;
}

ProgrammableModule::ProgrammableModule(Script script)
{
    m_module = std::make_unique<simmodule::ReenumeratingModule>(
        std::move(script), [this](const std::string& gone, const std::string& appeared) {
            if (!gone.empty())
                m_ports.remove(QString::fromStdString(gone));
            if (!appeared.empty()) {
                SerialPortEntry port = PseudoTerminalPorts::usbPort();
                port.systemLocation = QString::fromStdString(appeared);
                m_ports.add(port);
                const std::lock_guard<std::mutex> lock(m_seenMutex);
                m_portsSeen << port.systemLocation;
                m_appearedAt = std::chrono::steady_clock::now();
            }
        });
}

bool ProgrammableModule::waitFor(Mode mode)
{
    return m_module->wait_for(mode, std::chrono::seconds(20));
}

SarvikDeviceInfo ProgrammableModule::found()
{
    const QList<SarvikDeviceInfo> records = searchDevices();
    EXPECT_EQ(1, records.size()) << "modules listed";
    return records.size() == 1 ? records.first() : SarvikDeviceInfo();
}

bool ProgrammableModule::portIsFree() const
{
    const std::string path = m_module->pty_path();
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    const bool free = ::flock(fd, LOCK_EX | LOCK_NB) == 0;
    ::close(fd);
    return free;
}

QStringList ProgrammableModule::portsSeen() const
{
    const std::lock_guard<std::mutex> lock(m_seenMutex);
    return m_portsSeen;
}

std::chrono::steady_clock::time_point ProgrammableModule::appearedAt() const
{
    const std::lock_guard<std::mutex> lock(m_seenMutex);
    return m_appearedAt;
}

size_t ProgrammableModule::receivedWith(const simmodule::Bytes& prefix) const
{
    const std::vector<simmodule::Bytes> received = m_module->received();
    return size_t(std::count_if(received.begin(), received.end(), [&](const simmodule::Bytes& payload) {
        return payload.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), payload.begin());
    }));
}

namespace FirmwareFiles {

QString writeImage(const QString& path, int firstPage, const QByteArray& data)
{
    QStringList lines = HexFiles::image(flashStart + quint32(firstPage * pageSize), data);
    lines << HexFiles::endOfFile();
    return HexFiles::write(path, lines);
}

QByteArray pages(int pageCount)
{
    // Each page begins with its own number, so that no two are alike.
    QByteArray data = HexFiles::pattern(pageCount * pageSize);
    for (int n = 0; n < pageCount; ++n) {
        data[n * pageSize] = char(n & 0xFF);
        data[n * pageSize + 1] = char(n >> 8);
    }
    return data;
}

QByteArray page(const QByteArray& data, int n)
{
    QByteArray bytes = data.mid(n * pageSize, pageSize);
    bytes.append(QByteArray(pageSize - bytes.size(), char(0xFF)));
    return bytes;
}

} // namespace FirmwareFiles
