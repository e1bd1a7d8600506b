#include "MockDeviceBase.hpp"

#include <QVariantMap>
#include <QtDataVisualization/QSurface3DSeries>
#include <QtDataVisualization/QSurfaceDataProxy>

using namespace QtDataVisualization;

MockDeviceBase::MockDeviceBase(QObject* parent)
    : QObject(parent)
{ }

void MockDeviceBase::record(const QString& name, QSurface3DSeries* series, const QVariant& instance)
{
    QVariantMap call;
    call.insert(QStringLiteral("name"), name);
    call.insert(QStringLiteral("series"), series ? series->objectName() : QString());
    call.insert(QStringLiteral("instance"), instance);
    m_surfaceCalls.append(call);
    emit mockSurfaceCallsChanged();
}

void MockDeviceBase::updatePulseDopplerArray(QSurface3DSeries* series, uint dopplerInstance)
{
    record(QStringLiteral("updatePulseDopplerArray"), series, dopplerInstance);
    if (!series || !series->dataProxy())
        return;
    auto* matrix = new QSurfaceDataArray;
    for (int row = 0; row < 4; ++row) {
        auto* items = new QSurfaceDataRow(5);
        for (int column = 0; column < 5; ++column)
            (*items)[column].setPosition(
                QVector3D(float(column - 2), float(m_mockSurfaceLevel + row + column), 0.5f + 0.25f * row));
        matrix->append(items);
    }
    series->dataProxy()->resetArray(matrix);
}

void MockDeviceBase::resetPulseDopplerData()
{
    record(QStringLiteral("resetPulseDopplerData"), nullptr, QVariant());
}

void MockDeviceBase::resetPulseDopplerArray(QSurface3DSeries* series)
{
    record(QStringLiteral("resetPulseDopplerArray"), series, QVariant());
    if (series && series->dataProxy())
        series->dataProxy()->resetArray(new QSurfaceDataArray);
}
