// A sleep-analysis plug-in for the tests. It records every call it is given,
// with its arguments, and answers with what the test set: the result of
// initialize, the hypnogram, the current stage and the version text. Tests
// reach the record through the root object's properties (support/
// FakeSleepAnalysis.hpp), so they need none of the plug-in's code.
//
// The same source is built with another interface id, to show that the
// loader reads the id before it runs anything.
#pragma once

#include "apps/SleepAnalysisInterface.hpp"

#include <QObject>
#include <QVariantList>

class FakeSleepAnalysisPlugin : public QObject, public SleepAnalysisInterface {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID FAKE_PLUGIN_IID)
    Q_INTERFACES(SleepAnalysisInterface)
    // Each call as a list: its name, then its arguments.
    Q_PROPERTY(QVariantList calls READ calls)
    Q_PROPERTY(int initializeResult MEMBER m_initializeResult)
    Q_PROPERTY(QByteArray hypnogramBytes MEMBER m_hypnogram)
    Q_PROPERTY(int currentStage MEMBER m_stage)
    Q_PROPERTY(QString versionText MEMBER m_version)

public:
    QVariantList calls() const { return m_calls; }
    Q_INVOKABLE void clearCalls() { m_calls.clear(); }

    QString version() override;
    qint32 initialize(const char* limits) override;
    void reset() override;
    void addVitalSigns(quint32 frameCounter, quint32 state, float rpm, float distance,
        float respirationConfidence, float heartRate, float heartDistance, float heartConfidence,
        float movementSlow, float movementFast, float movementStart, float movementEnd) override;
    const QByteArray& hypnogram() override;
    quint8 sleepStage() override;

private:
    QVariantList m_calls;
    int m_initializeResult = 0;
    QByteArray m_hypnogram;
    int m_stage = 0;
    QString m_version = QStringLiteral("fake-sleep-analysis 1.0");
};
