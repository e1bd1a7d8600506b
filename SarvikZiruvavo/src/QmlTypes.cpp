#include "QmlTypes.hpp"

#include "ColormapChart.hpp"
#include "FirmwareImage.hpp"

#include <QQmlEngine>

void registerQmlTypes()
{
    qmlRegisterType<ColormapChart>("com.sarvik.colormapchart", 1, 0, "SvColormapChart");
    qmlRegisterType<FirmwareImage>("com.sarvik.rvi.firmwareimage", 1, 0, "FirmwareImage");
}
