// What the drivers of the end-to-end runs share: they play a user in the
// program's own window (found by the objectName of its parts), with real
// mouse clicks, while the program runs its event loop. A step that fails
// prints why and ends the program with exit code 1; a run that cannot take
// place (a part of the program not there yet) ends it with 77, which the
// test reports as skipped; a run that went through ends it with 0.
#pragma once

#include <QPointer>
#include <QQuickItem>
#include <QQuickWindow>
#include <QString>

#include <functional>

class QQmlApplicationEngine;

class EndToEnd {
public:
    static constexpr int Skipped = 77;

    explicit EndToEnd(QQmlApplicationEngine& engine);

    QQuickWindow* window() const { return m_window; }
    QObject* deviceManager() const;

    // The first visible item of that objectName, below item (or in the
    // whole window), within timeoutMs; fails the run without one.
    QQuickItem* find(const QString& objectName, QQuickItem* below = nullptr, int timeoutMs = 10000);
    // The item of that objectName below item (or in the whole window),
    // shown or not; null when there is none.
    QQuickItem* lookUp(const QString& objectName, QQuickItem* below = nullptr) const;
    // Waits until condition holds; fails the run with what after timeoutMs.
    void waitFor(const std::function<bool()>& condition, const QString& what, int timeoutMs = 10000);
    void click(QQuickItem* item);
    void waitForStack();
    // The page on top of the page stack.
    QQuickItem* currentPage() const;
    // Compares the window with the stored reference picture within the
    // tolerance of a page whose data move: fails the run on a mismatch.
    void compareScreenshot(const QString& name, double differingPixels);

    // Waits until the splash, which takes the clicks while it shows, goes.
    void waitForSplashToGo();
    // From the device menu, through the module in row and its first
    // application, to that application's settings page; returns the page.
    // Skips the run when the program makes no application for the module.
    QQuickItem* openFirstAppSettings(const QString& row);

    // Runs the steps, then ends the program with the verdict: exit 0, or 1
    // when a step failed (the steps stop there), or 77 when they skipped.
    void run(const std::function<void()>& steps);
    // Steps that end the program their own way (a signal, a closed window)
    // call this last: the program's own exit code is then the verdict.
    void handOver() { m_handedOver = true; }
    void finish();
    void skip(const QString& why);
    void fail(const QString& why);
    bool failed() const { return m_failed; }

private:
    QPointer<QQuickWindow> m_window;
    QQmlApplicationEngine& m_engine;
    bool m_failed = false;
    bool m_skipped = false;
    bool m_handedOver = false;
};
