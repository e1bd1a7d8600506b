// What keeps the one sleep-analysis plug-in of the program: the Device's
// parent, when it is the device manager. The respiration applications find
// the plug-in through their Device's parent, so that nothing else hands one
// out; an object that is not a holder holds none.
#pragma once

class QObject;
class SleepAnalysisInterface;

class SleepAnalysisHolder {
public:
    // The plug-in, owned by the holder and kept for the rest of the run; null
    // when none was loaded.
    virtual SleepAnalysisInterface* sleepAnalysisPlugin() const = 0;

    // The plug-in the holder `object` keeps; null when it is no holder or
    // holds none.
    static SleepAnalysisInterface* pluginOf(const QObject* object);

protected:
    ~SleepAnalysisHolder() = default;
};
