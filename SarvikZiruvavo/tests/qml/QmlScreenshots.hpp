// The screenshot comparison (support/Screenshot.hpp) for QML tests, published
// to them as "screenshots":
//     var problem = screenshots.compareWindow(someItemOrWindow, "name");
//     verify(problem === "", problem);
#pragma once

#include <QObject>
#include <QString>

class QmlScreenshots : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    // Compares the window that shows target (an item, or a window itself)
    // with tests/references/<name>.png; returns "" when they match, else why not.
    Q_INVOKABLE QString compareWindow(QObject* target, const QString& name) const;
    // The same with a page whose data move: at most differingPixels (a
    // fraction) of the pixels may differ.
    Q_INVOKABLE QString compareWindow(QObject* target, const QString& name, double differingPixels) const;
};
