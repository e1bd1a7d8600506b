#include "AppHarness.hpp"

#include "core/ApplicationProperties.hpp"

#include <QDir>
#include <QMetaMethod>
#include <QSettings>

AppSettings::AppSettings()
    : m_previousSettingsFile(ApplicationProperties::settingsFileName())
    , m_previousLogPath(ApplicationProperties::defaultLogPath())
    , m_previousLogLevel(ApplicationProperties::logLevel())
{
    QDir(m_dir.path()).mkpath(QStringLiteral("logs"));
    ApplicationProperties::setSettingsFileName(settingsFile());
    ApplicationProperties::setDefaultLogPath(defaultLogPath());
    ApplicationProperties::setLogLevel(0);
}

AppSettings::~AppSettings()
{
    ApplicationProperties::setSettingsFileName(m_previousSettingsFile);
    ApplicationProperties::setDefaultLogPath(m_previousLogPath);
    ApplicationProperties::setLogLevel(m_previousLogLevel);
}

QString AppSettings::settingsFile() const
{
    return m_dir.filePath(QStringLiteral("settings.ini"));
}

QString AppSettings::defaultLogPath() const
{
    return m_dir.filePath(QStringLiteral("logs"));
}

void AppSettings::store(const QVariantMap& values) const
{
    QSettings settings(settingsFile(), QSettings::IniFormat);
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        settings.setValue(it.key(), it.value());
    settings.sync();
}

QVariant AppSettings::stored(const QString& key) const
{
    return QSettings(settingsFile(), QSettings::IniFormat).value(key);
}

QStringList AppSettings::keys() const
{
    return QSettings(settingsFile(), QSettings::IniFormat).allKeys();
}

SignalOrder::SignalOrder(QObject* watched, const QStringList& names)
{
    const QMetaObject* meta = watched->metaObject();
    const QMetaMethod slot = metaObject()->method(metaObject()->indexOfSlot("onSignal()"));
    for (int i = 0; i < meta->methodCount(); ++i) {
        const QMetaMethod method = meta->method(i);
        if (method.methodType() != QMetaMethod::Signal || method.name() == "destroyed"
            || method.name() == "objectNameChanged")
            continue;
        if (!names.isEmpty() && !names.contains(QString::fromLatin1(method.name())))
            continue;
        // A signal with a default argument is one method per form; the
        // fullest form fires for both.
        bool known = false;
        for (const QMetaMethod& other : qAsConst(m_signals))
            known = known || other.name() == method.name();
        if (known)
            continue;
        m_signals.append(method);
        connect(watched, method, this, slot, Qt::DirectConnection);
    }
}

void SignalOrder::onSignal()
{
    const int index = senderSignalIndex();
    const QMetaMethod method = sender()->metaObject()->method(index);
    m_fired.append(QString::fromLatin1(method.name()));
}
