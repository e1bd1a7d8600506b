// What the program's QML documents find: its fonts, its registered types and
// the one object they reach as "deviceManager". The program's start-up, the
// window tests and the QML test runner all go through these, so the documents
// see the same things everywhere.
#pragma once

#include <QStringList>

#include <memory>
#include <vector>

class QObject;

struct QmlTypeName {
    const char* uri;
    const char* name;
};

// Adds the program's fonts from its resources to the application font
// database, the text font first, then the icon font. Returns the families
// that were added. Needs the program's resources.
QStringList loadFonts();

// Registers the program's QML types, each as version 1.0, in a fixed order.
void registerQmlTypes();

// The types registerQmlTypes() registers, in its order.
std::vector<QmlTypeName> qmlTypeNames();

// The one device manager, which main publishes as "deviceManager". It starts
// nothing until the documents call its onQmlCompleted.
std::unique_ptr<QObject> createDeviceManager();
