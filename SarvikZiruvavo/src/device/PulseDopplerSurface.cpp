#include "PulseDopplerSurface.hpp"

#include "PulseDopplerDecoder.hpp"

#include <QDebug>
#include <QtDataVisualization/QSurface3DSeries>

void PulseDopplerSurface::update(
    QtDataVisualization::QSurface3DSeries* series, PulseDopplerDecoder& decoder, uint dopplerInstance)
{
    if (series == nullptr || series->dataProxy() == nullptr) {
        qWarning() << "WARNING: attempting to update null surface object";
        return;
    }
    if (dopplerInstance >= PulseDopplerDecoder::instanceCount) {
        qWarning() << "WARNING: attempting to update invalid doppler instance:" << dopplerInstance;
        return;
    }
    PulseDopplerDecoder::Matrix matrix = decoder.takeOldestMatrix(dopplerInstance);
    if (!matrix) {
        qWarning() << "WARNING: attempting to update pulse doppler array while no data available";
        return;
    }
    series->dataProxy()->resetArray(matrix.release());
}

void PulseDopplerSurface::reset(QtDataVisualization::QSurface3DSeries* series)
{
    if (series == nullptr || series->dataProxy() == nullptr)
        return;
    series->dataProxy()->resetArray(nullptr);
}
