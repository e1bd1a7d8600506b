#include "QmlScreenshots.hpp"

#include "support/Screenshot.hpp"

#include <QQuickItem>
#include <QQuickWindow>

QString QmlScreenshots::compareWindow(QObject* target, const QString& name) const
{
    auto* window = qobject_cast<QQuickWindow*>(target);
    if (!window) {
        if (auto* item = qobject_cast<QQuickItem*>(target))
            window = item->window();
    }
    const ScreenshotVerdict verdict = Screenshot::compareWindow(window, name);
    return verdict.matches ? QString() : verdict.message;
}
