#include "SarvikDeviceConfiguration.hpp"

void registerSarvikDeviceConfiguration()
{
    qRegisterMetaType<SarvikDeviceConfiguration>("SarvikDeviceConfiguration");
}
