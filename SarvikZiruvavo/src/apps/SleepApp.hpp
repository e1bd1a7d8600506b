// The sleep profile of the older respiration module: a respiration
// application that also follows how much the sleeper moves, slowly (turning
// over) and fast (twitches), from the module's sleep status. It keeps its
// settings under its own name, records the sleep data too and names its
// respiration files after itself.
#pragma once

#include "apps/RespirationApp.hpp"

class SleepApp : public RespirationApp {
    Q_OBJECT
    Q_PROPERTY(double movementSlow READ movementSlow NOTIFY movementSlowChanged)
    Q_PROPERTY(double movementFast READ movementFast NOTIFY movementFastChanged)

public:
    // Exists only because QML type registration needs a default constructor;
    // calling it stops the program.
    SleepApp();
    explicit SleepApp(Device* parent);

    double movementSlow() const { return m_movementSlow; }
    double movementFast() const { return m_movementFast; }
    // Stores and announces each value that changed (a NaN always changes),
    // then announces both together.
    void setMovementSlowFast(double slow, double fast);

    QString appName() const override;
    quint32 profileId() const override;
    double detectionZoneMax() const override;
    double detectionZoneMinLength() const override;

signals:
    void movementSlowChanged();
    void movementFastChanged();
    void movementSlowFastChanged(double movementSlow, double movementFast);

protected:
    void decodeSleepStatus(const QByteArray& data) override;
    void announceMoreValues() override;
    void saveMoreSettings(QSettings& settings) override;
    void loadMoreSettings(QSettings& settings) override;
    quint32 profileKind() const override;
    bool recordsSleepData() const override { return true; }
    QString respirationBasename() const override;

private:
    double m_movementSlow = -1.0;
    double m_movementFast = -1.0;
};
