// Compares what a window shows with a stored reference picture
// (tests/references/<name>.png) within a tolerance. On a mismatch the
// actual picture and a map of the differing pixels are written to the
// build's screenshot folder (<name>.png, <name>.diff.png) and the message
// names them. SARVIK_UPDATE_REFERENCES=1 in the environment stores the
// actual picture as the new reference instead; review it before committing.
#pragma once

#include <QImage>
#include <QString>

class QQuickWindow;

struct ScreenshotTolerance {
    // A pixel differs when one of its channels differs by more than this.
    int channel = 32;
    // The picture matches while at most this fraction of its pixels differ.
    double differingPixels = 0.001;
};

struct ScreenshotVerdict {
    bool matches = false;
    QString message; // why not, and where the pictures are
};

class Screenshot {
public:
    static ScreenshotVerdict compare(
        const QImage& actual, const QString& name, const ScreenshotTolerance& tolerance = {});
    // Renders the window's current frame and compares it.
    static ScreenshotVerdict compareWindow(
        QQuickWindow* window, const QString& name, const ScreenshotTolerance& tolerance = {});

    static QString referencePath(const QString& name);
    static QString outputPath(const QString& name);
};
