// The Quick Test runner of the program's QML documents: they see the fonts,
// the QML types and the resources of the program, and a mock device manager
// as "deviceManager", made anew for every test file.
#include "MockDeviceBase.hpp"
#include "MockSensorApp.hpp"
#include "QmlScreenshots.hpp"
#include "QmlTypes.hpp"

#include <QDir>
#include <QGuiApplication>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSurfaceFormat>
#include <QTemporaryDir>
#include <QtDataVisualization/qutils.h>
#include <QtQml>
#include <QtQuickTest>

class QmlTestSetup : public QObject {
    Q_OBJECT
public:
    QmlTestSetup()
    {
        // Made before the application: Qt wants a private runtime folder.
        if (m_runtimeDir.isValid())
            qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_runtimeDir.path()));
    }

public slots:
    void applicationAvailable()
    {
        // As the program: windows in the format the 3-D surfaces need.
        QSurfaceFormat::setDefaultFormat(QtDataVisualization::qDefaultSurfaceFormat(false));
        QGuiApplication::setApplicationVersion(QStringLiteral(SARVIK_VERSION));
        loadFonts();
        registerQmlTypes();
        qmlRegisterType<MockSensorApp>("SarvikMocks", 1, 0, "MockSensorApp");
        qmlRegisterType<MockDeviceBase>("SarvikMocks", 1, 0, "MockDeviceBase");
    }

    void qmlEngineAvailable(QQmlEngine* engine)
    {
        QQmlComponent component(
            engine, QUrl::fromLocalFile(QStringLiteral(SARVIK_QML_MOCKS_DIR "/MockDeviceManager.qml")));
        QObject* deviceManager = component.create();
        if (!deviceManager)
            qFatal("the mock device manager does not load: %s", qPrintable(component.errorString()));
        deviceManager->setParent(engine);
        engine->rootContext()->setContextProperty(QStringLiteral("deviceManager"), deviceManager);
        engine->rootContext()->setContextProperty(QStringLiteral("screenshots"), new QmlScreenshots(engine));
    }

private:
    QTemporaryDir m_runtimeDir;
};

QUICK_TEST_MAIN_WITH_SETUP(sarvik_qml, QmlTestSetup)

#include "QmlTestMain.moc"
