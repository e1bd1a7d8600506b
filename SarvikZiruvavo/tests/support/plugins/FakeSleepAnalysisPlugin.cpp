#include "FakeSleepAnalysisPlugin.hpp"

#include <QtGlobal>

namespace {

// Tells the tests that this library's code ran: set when it is loaded.
struct LoadedMarker {
    LoadedMarker() { qputenv(FAKE_PLUGIN_MARKER, "1"); }
} marker;

} // namespace

QString FakeSleepAnalysisPlugin::version()
{
    m_calls.append(QVariant(QVariantList { QStringLiteral("version") }));
    return m_version;
}

qint32 FakeSleepAnalysisPlugin::initialize(const char* limits)
{
    m_calls.append(QVariant(QVariantList { QStringLiteral("initialize"), QString::fromUtf8(limits) }));
    return m_initializeResult;
}

void FakeSleepAnalysisPlugin::reset()
{
    m_calls.append(QVariant(QVariantList { QStringLiteral("reset") }));
}

void FakeSleepAnalysisPlugin::addVitalSigns(quint32 frameCounter, quint32 state, float rpm, float distance,
    float respirationConfidence, float heartRate, float heartDistance, float heartConfidence,
    float movementSlow, float movementFast, float movementStart, float movementEnd)
{
    m_calls.append(QVariant(QVariantList { QStringLiteral("addVitalSigns"), frameCounter, state, rpm,
        distance, respirationConfidence, heartRate, heartDistance, heartConfidence, movementSlow,
        movementFast, movementStart, movementEnd }));
}

const QByteArray& FakeSleepAnalysisPlugin::hypnogram()
{
    m_calls.append(QVariant(QVariantList { QStringLiteral("hypnogram") }));
    return m_hypnogram;
}

quint8 FakeSleepAnalysisPlugin::sleepStage()
{
    m_calls.append(QVariant(QVariantList { QStringLiteral("sleepStage") }));
    return static_cast<quint8>(m_stage);
}
