// The base of every sensor application: one object per application that a
// module's firmware supports, made by its Device when the Device is activated
// and owned by it. The Device drives it through the operations below: it
// initialises each new application once, connects the one the user picks to
// its data and disconnects it again, and has it configure the module again
// when a connection is to be re-established.
#pragma once

#include <QObject>
#include <QString>

class Device;

class DeviceApp : public QObject {
    Q_OBJECT
public:
    enum InitializationResult {
        InitializationFailed = 0,
        InitializationSucceeded = 1,
        InitializationIntentionalReset = 2,
    };
    Q_ENUM(InitializationResult)

    // The Device is the application's parent and owner; never null.
    explicit DeviceApp(Device* parent);

    Device* device() const { return m_device; }

    // Called once by the Device on each new application, right after making
    // it; applications read their stored settings here.
    virtual void initialize();
    virtual QString appName() const;
    virtual QString descriptiveName() const;
    virtual quint32 profileId() const;
    // Connects the Device's data signals to the application (when it becomes
    // the active one), and undoes that.
    virtual void connectToDevice();
    virtual void disconnectFromDevice();

public slots:
    // Configures the module for the application through its Device.
    virtual DeviceApp::InitializationResult execute(bool tryReconnect = false);

private:
    Device* m_device;
};
