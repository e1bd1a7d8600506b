#include "ConfigureSteps.hpp"

void ConfigureSteps::add(const QString& failure, Call call)
{
    m_steps.append({ std::move(call), failure, false });
}

void ConfigureSteps::addNamed(const QString& setting, Call call)
{
    m_steps.append({ std::move(call), setting, true });
}

void ConfigureSteps::addUnchecked(std::function<void()> call)
{
    m_steps.append({ [call = std::move(call)] {
                        call();
                        return 0;
                    },
        QString(), false });
}

bool ConfigureSteps::run(QString& failure) const
{
    for (const Step& step : m_steps) {
        const int status = step.call();
        if (status == 0)
            continue;
        failure = step.named ? QStringLiteral("failed to set %1: %2").arg(step.text).arg(status) : step.text;
        return false;
    }
    return true;
}
