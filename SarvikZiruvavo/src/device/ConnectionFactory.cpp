#include "ConnectionFactory.hpp"

#include "LoggerIo.hpp"
#include "core/ApplicationProperties.hpp"
#include "core/SarvikDeviceInfo.hpp"

#include <linkwell/Linkwell.hpp>

#include <QDebug>

const QString crashDumpMarker = QStringLiteral(" (Log file generated)");

int libraryLogLevel()
{
    const int level = ApplicationProperties::logLevel();
    if (level >= 2)
        return 9;
    return level == 1 ? 3 : 0;
}

Sarvik::Linkwell* createLinkwell(const SarvikDeviceInfo& info, Sarvik::DataPlayer* player)
{
    const int level = libraryLogLevel();
    if (ApplicationProperties::logLevel() >= 1)
        qDebug().noquote() << "Creating Linkwell for port:" << info.portName;
    if (info.deviceType == SarvikDeviceInfo::PlaybackDevice) {
        if (player == nullptr)
            return nullptr;
        // The connector owns the sink from the call on, also when it throws.
        return new Sarvik::Linkwell(*player, level, new LoggerIo);
    }
    return new Sarvik::Linkwell(info.portName.toUtf8().toStdString(), level, new LoggerIo);
}
