// The interface of the optional sleep-analysis plug-in, which turns the
// vital-signs stream of a respiration module into sleep stages and a
// hypnogram. A plug-in is a separately built Qt plug-in whose root object
// implements this class and names the interface id below in its metadata
// (Q_PLUGIN_METADATA(IID ...) and Q_INTERFACES(SleepAnalysisInterface)).
//
// The binary interface is fixed: the program calls these virtual functions
// through the plug-in's table in the order they are declared, so a function
// is never inserted, removed, reordered or changed in its arguments. A new
// operation needs a new interface id.
//
// Texts and the hypnogram cross the boundary as Qt types. A Qt plug-in is
// already bound to Qt's binary interface (the loader refuses one built against
// an incompatible Qt), and QString and QByteArray keep their layout across Qt 5
// releases and between debug and release builds. A standard library container
// would add a second binary interface the two sides must share, one that
// differs between compilers and between their debug and release libraries.
// The limits text that the program hands to `initialize` is plain
// NUL-terminated UTF-8, readable without Qt.
#pragma once

#include <QByteArray>
#include <QString>
#include <QtPlugin>

class SleepAnalysisInterface {
public:
    // Sleep stages, in the hypnogram and as the current stage.
    enum SleepStage : quint8 {
        Unknown = 0,
        DeepSleep = 1,
        LightSleep = 2,
        Rem = 3,
        Awake = 4,
        NoPresence = 5,
    };

    virtual ~SleepAnalysisInterface() = default;

    // The plug-in's version text, shown after "SAL Version: ".
    virtual QString version() = 0;
    // Starts an analysis with the limits text, for example
    // "[Limits]\nEpochLength = 30;\nHypnogramBufferLength = 960;\n"; 0 is success.
    virtual qint32 initialize(const char* limits) = 0;
    // Forgets what was analysed so far (a recording was moved to another place).
    virtual void reset() = 0;
    // One vital-signs frame of the module, in the order the module sends them.
    virtual void addVitalSigns(quint32 frameCounter, quint32 state, float rpm, float distance,
        float respirationConfidence, float heartRate, float heartDistance, float heartConfidence,
        float movementSlow, float movementFast, float movementStart, float movementEnd)
        = 0;
    // One sleep stage per epoch, oldest first. The array belongs to the
    // plug-in and stays valid until its next call.
    virtual const QByteArray& hypnogram() = 0;
    // The current sleep stage.
    virtual quint8 sleepStage() = 0;
};

#define SleepAnalysisInterface_iid "no.kestrom.SarvikZiruvavo.SleepAnalysisInterface"
Q_DECLARE_INTERFACE(SleepAnalysisInterface, SleepAnalysisInterface_iid)
