// Turns SIGINT, SIGTERM and SIGHUP into QCoreApplication::quit(), so that
// Ctrl+C in a terminal, a termination request and a closed terminal end the
// program through the same shut-down as closing its window: the console log
// is closed and renamed, every module connection is closed and every thread
// joined. Each signal acts once; the next one of its kind ends the process
// at once, the way it would without this object, should the shut-down hang.
// One object at a time; it restores the previous dispositions when it goes.
#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

class TerminationSignals : public QObject {
    Q_OBJECT
public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

private:
    void onSignalled();

    QSocketNotifier* m_notifier = nullptr;
    struct sigaction m_previous[3] {};
};
