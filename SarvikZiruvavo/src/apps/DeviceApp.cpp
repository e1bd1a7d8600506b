#include "DeviceApp.hpp"

#include "device/Device.hpp"

DeviceApp::DeviceApp(Device* parent)
    : QObject(parent)
    , m_device(parent)
{ }

void DeviceApp::initialize() { }

QString DeviceApp::appName() const
{
    return QString();
}

QString DeviceApp::descriptiveName() const
{
    return appName();
}

quint32 DeviceApp::profileId() const
{
    return 0;
}

void DeviceApp::connectToDevice() { }

void DeviceApp::disconnectFromDevice() { }

DeviceApp::InitializationResult DeviceApp::execute(bool)
{
    return InitializationSucceeded;
}
