// The part of the mock device that QML cannot declare: the data signals with
// the real device's unsigned ids and list types, and the pulse-Doppler slots
// that take a surface series. MockDevice.qml builds the rest on it. The
// slots record their calls (mockSurfaceCalls) and give the series a small
// matrix of mockSurfaceLevel, so that a surface has something to draw.
#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QVariantList>

namespace QtDataVisualization {
class QSurface3DSeries;
}

class MockDeviceBase : public QObject {
    Q_OBJECT
    Q_PROPERTY(QVariantList mockSurfaceCalls READ mockSurfaceCalls NOTIFY mockSurfaceCallsChanged)
    Q_PROPERTY(double mockSurfaceLevel MEMBER m_mockSurfaceLevel)

public:
    explicit MockDeviceBase(QObject* parent = nullptr);

    QVariantList mockSurfaceCalls() const { return m_surfaceCalls; }

public slots:
    void updatePulseDopplerArray(QtDataVisualization::QSurface3DSeries* series, uint dopplerInstance);
    void resetPulseDopplerData();
    void resetPulseDopplerArray(QtDataVisualization::QSurface3DSeries* series);

signals:
    void sigNewDataApp(uint contentId, QByteArray data);
    void sigNewBasebandFrame(uint contentId, uint frameCounter, double binLength, double rangeOffset,
        QList<qreal> amplitudeValues, QList<qreal> phaseValues);
    void sigNewPulseDopplerSurfaceDataAvailable(uint dopplerInstance);
    void sigNewDataFloat(uint contentId, uint info, QList<qreal> data);
    void mockSurfaceCallsChanged();

private:
    void record(const QString& name, QtDataVisualization::QSurface3DSeries* series, const QVariant& instance);

    QVariantList m_surfaceCalls;
    double m_mockSurfaceLevel = -20;
};
