#include "QmlScreenshots.hpp"

#include "support/Screenshot.hpp"

#include <QQuickItem>
#include <QQuickWindow>

QString QmlScreenshots::compareWindow(QObject* target, const QString& name) const
{
    return compareWindow(target, name, ScreenshotTolerance().differingPixels);
}

QString QmlScreenshots::compareWindow(QObject* target, const QString& name, double differingPixels) const
{
    auto* window = qobject_cast<QQuickWindow*>(target);
    if (!window) {
        if (auto* item = qobject_cast<QQuickItem*>(target))
            window = item->window();
    }
    ScreenshotTolerance tolerance;
    tolerance.differingPixels = differingPixels;
    const ScreenshotVerdict verdict = Screenshot::compareWindow(window, name, tolerance);
    return verdict.matches ? QString() : verdict.message;
}
