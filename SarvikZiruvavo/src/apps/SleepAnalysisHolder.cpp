#include "SleepAnalysisHolder.hpp"

#include <QObject>

SleepAnalysisInterface* SleepAnalysisHolder::pluginOf(const QObject* object)
{
    const auto* holder = dynamic_cast<const SleepAnalysisHolder*>(object);
    return holder ? holder->sleepAnalysisPlugin() : nullptr;
}
