// Finds the optional sleep-analysis plug-in: the first file of the program's
// "plugins" folder that is a Qt plug-in offering SleepAnalysisInterface.
//
// Nothing in that folder is run unless it declares the interface: only files
// with the platform's shared-library suffix are looked at, and a file's
// interface id is read from its plug-in metadata, which Qt reads from the file
// without loading it, before its code is loaded and its root object made.
#pragma once

#include <QString>

class QObject;
class SleepAnalysisInterface;

class SleepAnalysisPluginLoader {
public:
    struct Plugin {
        QObject* instance = nullptr; // the plug-in's root object, owned by Qt's plug-in loader
        SleepAnalysisInterface* analysis = nullptr;
        QString fileName;
        explicit operator bool() const { return analysis != nullptr; }
    };

    // The program's directory, or its parent when the program lies in a
    // "debug" or "release" build folder, with "plugins" appended.
    static QString pluginFolder(const QString& programDirectory);

    // The first plug-in of the folder (in file name order) that offers the
    // interface; an empty Plugin when the folder is missing or none does.
    // Files that are not plug-ins, fail to load or offer another interface
    // are passed over silently. The plug-in stays loaded for the rest of the
    // run; the caller keeps the pointers as long as it likes.
    static Plugin load(const QString& programDirectory);
};
