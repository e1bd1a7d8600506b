#include "EndToEnd.hpp"

#include "support/Screenshot.hpp"

#include <QCoreApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QTest>

#include <cstdio>
#include <stdexcept>

namespace {

// Thrown by a failed step: the driver's steps stop there.
struct StepFailed : std::runtime_error {
    using std::runtime_error::runtime_error;
};

QQuickItem* findVisible(QQuickItem* item, const QString& objectName)
{
    if (!item || !item->isVisible())
        return nullptr;
    if (item->objectName() == objectName)
        return item;
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = findVisible(child, objectName))
            return found;
    }
    return nullptr;
}

QQuickItem* findAny(QQuickItem* item, const QString& objectName)
{
    if (!item)
        return nullptr;
    if (item->objectName() == objectName)
        return item;
    for (QQuickItem* child : item->childItems()) {
        if (QQuickItem* found = findAny(child, objectName))
            return found;
    }
    return nullptr;
}

} // namespace

QQuickItem* EndToEnd::lookUp(const QString& objectName, QQuickItem* below) const
{
    return findAny(below ? below : (m_window ? m_window->contentItem() : nullptr), objectName);
}

EndToEnd::EndToEnd(QQmlApplicationEngine& engine)
    : m_engine(engine)
{
    const QList<QObject*> roots = engine.rootObjects();
    m_window = roots.isEmpty() ? nullptr : qobject_cast<QQuickWindow*>(roots.first());
    if (!m_window) {
        std::fprintf(stderr, "FAILED: the main window did not load\n");
        m_failed = true;
    }
}

QObject* EndToEnd::deviceManager() const
{
    return m_engine.rootContext()->contextProperty(QStringLiteral("deviceManager")).value<QObject*>();
}

void EndToEnd::fail(const QString& why)
{
    std::fprintf(stderr, "FAILED: %s\n", qPrintable(why));
    m_failed = true;
    throw StepFailed(why.toStdString());
}

void EndToEnd::skip(const QString& why)
{
    std::fprintf(stderr, "SKIPPED: %s\n", qPrintable(why));
    m_skipped = true;
    throw StepFailed(why.toStdString());
}

void EndToEnd::run(const std::function<void()>& steps)
{
    try {
        if (!m_failed)
            steps();
    } catch (const StepFailed&) {
        m_handedOver = false;
    }
    if (!m_handedOver)
        finish();
}

void EndToEnd::finish()
{
    QCoreApplication::exit(m_failed ? 1 : m_skipped ? Skipped : 0);
}

void EndToEnd::waitFor(const std::function<bool()>& condition, const QString& what, int timeoutMs)
{
    if (!QTest::qWaitFor(condition, timeoutMs))
        fail(QStringLiteral("timed out waiting for %1").arg(what));
}

QQuickItem* EndToEnd::find(const QString& objectName, QQuickItem* below, int timeoutMs)
{
    QQuickItem* found = nullptr;
    waitFor(
        [&] {
            found = findVisible(below ? below : (m_window ? m_window->contentItem() : nullptr), objectName);
            return found != nullptr;
        },
        QStringLiteral("\"%1\" to show").arg(objectName), timeoutMs);
    return found;
}

void EndToEnd::click(QQuickItem* item)
{
    const QPointF centre = item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
    QTest::mouseClick(m_window, Qt::LeftButton, Qt::NoModifier, centre.toPoint());
}

QQuickItem* EndToEnd::currentPage() const
{
    QObject* stack = m_window ? m_window->property("pageStack").value<QObject*>() : nullptr;
    return stack ? stack->property("currentItem").value<QQuickItem*>() : nullptr;
}

void EndToEnd::waitForStack()
{
    QObject* stack = m_window->property("pageStack").value<QObject*>();
    waitFor([&] { return stack && !stack->property("busy").toBool(); },
        QStringLiteral("the page stack to settle"));
}

void EndToEnd::compareScreenshot(const QString& name, double differingPixels)
{
    ScreenshotTolerance tolerance;
    tolerance.differingPixels = differingPixels;
    const ScreenshotVerdict verdict = Screenshot::compareWindow(m_window, name, tolerance);
    if (!verdict.matches)
        fail(verdict.message);
}

void EndToEnd::waitForSplashToGo()
{
    waitFor(
        [&] {
            QQuickItem* splash = lookUp(QStringLiteral("splash"));
            return splash && !splash->isVisible();
        },
        QStringLiteral("the splash to go"));
}

QQuickItem* EndToEnd::openFirstAppSettings(const QString& row)
{
    waitForSplashToGo();
    click(find(row, nullptr, 30000));
    waitFor([&] { return currentPage()->property("isDeviceMenu").toBool() == false; },
        QStringLiteral("the application menu"));
    waitForStack();
    QQuickItem* menu = currentPage();
    // The applications are made when the device becomes active.
    waitFor(
        [&] {
            QQuickItem* button = lookUp(QStringLiteral("appButton0"), menu);
            QQuickItem* noProfile = lookUp(QStringLiteral("noProfileText"), menu);
            return (button && button->isVisible()) || (noProfile && noProfile->isVisible());
        },
        QStringLiteral("the applications of the module"));
    QQuickItem* noProfile = lookUp(QStringLiteral("noProfileText"), menu);
    if (noProfile && noProfile->isVisible())
        skip(QStringLiteral("the program makes no application for the module"));
    click(find(QStringLiteral("appButton0"), menu));
    waitForStack();
    return currentPage();
}
