#include "QmlTypes.hpp"

#include "charts/ColormapChart.hpp"
#include "firmware/FirmwareImage.hpp"

#include <QQmlEngine>

void registerQmlTypes()
{
    qmlRegisterType<ColormapChart>("com.sarvik.colormapchart", 1, 0, "SvColormapChart");
    qmlRegisterType<FirmwareImage>("com.sarvik.rvi.firmwareimage", 1, 0, "FirmwareImage");
}
