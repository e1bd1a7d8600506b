// A user who upgrades a module's firmware, in the program itself: a simulated
// Falcon that enumerates anew when it changes mode (application, bootloader,
// application, each time on another port) is found and chosen; the firmware
// menu lists the image versions with the newest selected; the user installs
// it, and the program takes the module into its bootloader, finds it on its
// new port, writes the image page by page and starts the new application.
// The module's flash then holds the image, the program says the upgrade
// completed, and the device menu lists the module anew. Screenshots of the
// firmware menu and of the application menu while the upgrade runs (the
// module's bootloader port held back a moment, so that the step shown stays)
// are compared with their references.
//
// The program's build carries no firmware images here (tests/CMakeLists.txt):
// the driver registers the program's image list and a test image at the
// resource path of the newest version, before the program reads the list.
#include "EndToEnd.hpp"

#include "device/Device.hpp"
#include "device/DeviceManager.hpp"
#include "firmware/FirmwareManager.hpp"
#include "support/FirmwareResources.hpp"
#include "support/ProgrammableModule.hpp"
#include "support/Screenshot.hpp"

#include "simmodule/ReenumeratingModule.hpp"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QQmlApplicationEngine>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include <unistd.h>

namespace {

using Mode = simmodule::ReenumeratingModule::Mode;

const QString enterBootloader = QStringLiteral("-- Module upgrade --\nEnter bootloader mode");
const QString upgradeCompleted = QStringLiteral("Module upgrade completed successfully!");
// Pages 0 and 128 to 139 are written; 1 to 127 never are.
constexpr int imagePages = 140;

// The module's ports as the program is told of them: two fixed names,
// symbolic links to the pseudo-terminal the module is on in that mode, which
// exist only while it is there (the program lists a named port only while
// its path exists). The module's callback keeps them in step. The bootloader's
// port may be held back, as a slow enumeration would: the program looks for
// the module a few times, a second apart, before it gives up.
class ModulePorts {
public:
    explicit ModulePorts(const QString& folder)
        : m_application(QDir(folder).filePath(QStringLiteral("ttySIM0")).toStdString())
        , m_bootloader(QDir(folder).filePath(QStringLiteral("ttySIM1")).toStdString())
    { }

    QString application() const { return QString::fromStdString(m_application); }
    QString bootloader() const { return QString::fromStdString(m_bootloader); }

    // The module starts in its application and changes mode each time it
    // comes back.
    void change(const std::string& gone, const std::string& appeared)
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (const std::string& name : { m_application, m_bootloader }) {
            const auto target = m_targets.find(name);
            if (!gone.empty() && target != m_targets.end() && target->second == gone) {
                ::unlink(name.c_str());
                m_targets.erase(target);
            }
        }
        if (appeared.empty())
            return;
        const bool application = m_appearances++ % 2 == 0;
        if (!application && m_holdingBootloader)
            m_heldBack = appeared;
        else
            link(application ? m_application : m_bootloader, appeared);
    }

    // From now on the bootloader's port shows only once released.
    void holdBootloader()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_holdingBootloader = true;
    }
    // Whether the module is in its bootloader, on a port held back.
    bool bootloaderHeldBack() const
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        return !m_heldBack.empty();
    }
    void releaseBootloader()
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_holdingBootloader = false;
        if (!m_heldBack.empty())
            link(m_bootloader, m_heldBack);
        m_heldBack.clear();
    }

private:
    void link(const std::string& name, const std::string& target)
    {
        ::unlink(name.c_str());
        if (::symlink(target.c_str(), name.c_str()) == 0)
            m_targets[name] = target;
        else
            std::fprintf(stderr, "cannot link %s to %s\n", name.c_str(), target.c_str());
    }

    const std::string m_application;
    const std::string m_bootloader;
    mutable std::mutex m_mutex;
    std::map<std::string, std::string> m_targets;
    unsigned m_appearances = 0;
    bool m_holdingBootloader = false;
    std::string m_heldBack;
};

// Declared in the order they are needed: destroyed the other way round, the
// module (whose thread calls the ports) before the ports.
std::unique_ptr<QTemporaryDir> folder;
std::unique_ptr<ModulePorts> ports;
std::unique_ptr<simmodule::ReenumeratingModule> module;
std::unique_ptr<FirmwareResources> firmware;
std::unique_ptr<EndToEnd> e2e;
QByteArray imageData;
QString imageVersion;
QString preparationFailure;

QString text(QQuickItem* item)
{
    return item->property("text").toString();
}

// The shipped list, and a test image at the path of its newest image for the
// Falcon's firmware class.
void offerTestImage()
{
    const QByteArray list = FirmwareResources::shippedImageList();
    FirmwareManager shipped;
    shipped.loadImageList(QString::fromUtf8(list));
    imageVersion = shipped.latestVersion(FirmwareImage::Vallorin);
    const QString path = shipped.imagePath(FirmwareImage::Vallorin, imageVersion);
    if (path.isEmpty()) {
        preparationFailure = QStringLiteral("the image list has no image for the Falcon");
        return;
    }
    imageData = FirmwareFiles::pages(imagePages);
    QFile hex(FirmwareFiles::writeImage(folder->filePath(QStringLiteral("image.hex")), 0, imageData));
    if (!hex.open(QIODevice::ReadOnly)) {
        preparationFailure = QStringLiteral("cannot write the test image");
        return;
    }
    const QByteArray hexText = hex.readAll();
    firmware = std::make_unique<FirmwareResources>(
        QMap<QString, QByteArray> { { QStringLiteral(":/fw-images.xml"), list }, { path, hexText } });
    // A carried image at the same path would be found instead of this one.
    QFile offered(path);
    if (!firmware->registered() || !offered.open(QIODevice::ReadOnly) || offered.readAll() != hexText)
        preparationFailure = QStringLiteral("the test image is not what the program finds at %1").arg(path);
}

// The flash holds the image: every page but 1 to 127, byte for byte.
void checkFlash(const simmodule::Flash& flash)
{
    const std::map<uint16_t, simmodule::Bytes> pages = flash.pages();
    int expected = 0;
    for (int n = 0; n < imagePages; ++n) {
        if (n >= 1 && n <= 127)
            continue;
        ++expected;
        const auto held = pages.find(uint16_t(n));
        const QByteArray page = FirmwareFiles::page(imageData, n);
        if (held == pages.end()
            || QByteArray(reinterpret_cast<const char*>(held->second.data()), int(held->second.size()))
                != page)
            e2e->fail(QStringLiteral("page %1 of the module's flash is not the image's").arg(n));
    }
    if (int(pages.size()) != expected)
        e2e->fail(
            QStringLiteral("the module's flash holds %1 pages, not %2").arg(pages.size()).arg(expected));
    if (flash.starts() != 1)
        e2e->fail(QStringLiteral("the new application was started %1 times").arg(flash.starts()));
}

// The device menu's row of the module on its application port, once listed.
QQuickItem* moduleRow()
{
    QQuickItem* row = nullptr;
    e2e->waitFor(
        [&] {
            row = e2e->lookUp(QStringLiteral("deviceRow1"));
            QQuickItem* info = row ? e2e->lookUp(QStringLiteral("deviceInfo"), row) : nullptr;
            return row && row->isVisible() && info && text(info).contains(ports->application());
        },
        QStringLiteral("the module listed on %1").arg(ports->application()), 30000);
    return row;
}

// Waits until the message dialog shows, opened all the way, with that title.
void waitForDialog(const QString& title, int timeoutMs = 10000)
{
    QQuickItem* dialog = e2e->lookUp(QStringLiteral("dialog"));
    QQuickItem* frame = e2e->lookUp(QStringLiteral("dialogFrame"), dialog);
    e2e->waitFor(
        [&] {
            return dialog && frame && dialog->property("isOpen").toBool() && dialog->opacity() == 1.0
                && frame->property("slide").toReal() == 0.0;
        },
        QStringLiteral("the dialog \"%1\"").arg(title), timeoutMs);
    const QString shown = text(e2e->find(QStringLiteral("dialogTitle")));
    if (shown != title)
        e2e->fail(QStringLiteral("the dialog \"%1\" shows instead of \"%2\": %3")
                      .arg(shown, title, text(e2e->find(QStringLiteral("dialogMessage")))));
}

void upgrade()
{
    DeviceManager* manager = qobject_cast<DeviceManager*>(e2e->deviceManager());
    if (!manager)
        e2e->skip(QStringLiteral("the program has no device manager yet"));

    // -- the module, chosen from the device menu
    e2e->waitForSplashToGo();
    e2e->click(moduleRow());
    e2e->waitFor([&] { return e2e->currentPage()->property("isDeviceMenu").toBool() == false; },
        QStringLiteral("the application menu"));
    e2e->waitForStack();
    Device* device = qobject_cast<Device*>(manager->activeDevice());
    if (!device)
        e2e->fail(QStringLiteral("no device is active in the application menu"));

    // -- the firmware menu: the newest version first, selected
    e2e->click(e2e->find(QStringLiteral("changeFirmwareButton"), e2e->currentPage()));
    e2e->waitFor([&] { return e2e->currentPage()->property("helpTitle").toString() == "Firmware Versions"; },
        QStringLiteral("the firmware menu"));
    e2e->waitForStack();
    QQuickItem* menu = e2e->currentPage();
    QQuickItem* newest = e2e->find(QStringLiteral("firmwareEntry0"), menu);
    const QString label = text(e2e->find(QStringLiteral("firmwareLabel"), newest));
    if (label != QStringLiteral("Version: %1 (Latest)").arg(imageVersion.toUpper()))
        e2e->fail(QStringLiteral("the firmware menu's first entry reads \"%1\"").arg(label));
    e2e->compareScreenshot(QStringLiteral("e2e_firmware_menu"), 0.001);

    // -- installed, through the question that asks once more. What the
    // upgrade tells is heard while `listening` lives.
    QObject listening;
    QStringList texts;
    QObject::connect(device, &Device::deviceUpgradeInfoChanged, &listening,
        [&texts](const QString& info) { texts << info; });
    double progress = 0;
    QObject::connect(
        device, &Device::deviceUpgradeProgress, &listening, [&progress](double value) { progress = value; });
    QString failure;
    bool completed = false;
    QObject::connect(
        manager, &DeviceManager::upgradeComplete, &listening, [&completed] { completed = true; });
    QObject::connect(manager, &DeviceManager::upgradeFailed, &listening,
        [&failure](const QString& reason) { failure = reason; });
    e2e->click(newest);
    e2e->click(e2e->find(QStringLiteral("installButton"), menu));
    waitForDialog(QStringLiteral("Install Firmware"));
    ports->holdBootloader();
    struct Release {
        ~Release() { ports->releaseBootloader(); }
    } release;

    // The application menu follows the upgrade. While the program looks for
    // the module in its bootloader (its port held back), the menu says so.
    // The upgrade runs in a waiting loop of the program's, inside which only
    // timers reach the driver: a timer set before the click takes the
    // screenshot there, then lets the port show.
    std::optional<ScreenshotVerdict> upgrading;
    QTimer poll;
    const QDeadlineTimer pollDeadline(60000);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QQuickItem* info = e2e->lookUp(QStringLiteral("upgradeInfo"), e2e->currentPage());
        if (ports->bootloaderHeldBack() && info && info->isVisible() && text(info) == enterBootloader) {
            ScreenshotTolerance tolerance;
            tolerance.differingPixels = 0.001;
            upgrading = Screenshot::compareWindow(
                e2e->window(), QStringLiteral("e2e_firmware_upgrading"), tolerance);
        } else if (!pollDeadline.hasExpired()) {
            return;
        }
        poll.stop();
        ports->releaseBootloader();
    });
    poll.start(20);
    e2e->click(e2e->find(QStringLiteral("dialogOkButton")));
    e2e->waitFor(
        [&] { return completed || !failure.isEmpty(); }, QStringLiteral("the upgrade to end"), 120000);
    if (!upgrading)
        e2e->fail(QStringLiteral("the application menu did not show \"%1\" while the module was in its "
                                 "bootloader; the upgrade told \"%2\"")
                      .arg(enterBootloader, texts.join(QStringLiteral("\", \""))));
    if (!upgrading->matches)
        e2e->fail(upgrading->message);
    if (!failure.isEmpty())
        e2e->fail(QStringLiteral("the upgrade failed: %1").arg(failure));
    if (texts.isEmpty() || texts.last() != upgradeCompleted)
        e2e->fail(QStringLiteral("the upgrade ended with \"%1\"").arg(texts.join(QStringLiteral("\", \""))));
    if (progress != 1.0)
        e2e->fail(QStringLiteral("the upgrade's progress ended at %1").arg(progress));
    checkFlash(module->flash());

    // -- the end: the message, then the device menu with the module anew,
    // running its new application on a third port
    waitForDialog(QStringLiteral("Upgrade complete"));
    e2e->click(e2e->find(QStringLiteral("dialogOkButton")));
    e2e->waitForStack();
    if (!e2e->currentPage()->property("isDeviceMenu").toBool())
        e2e->fail(QStringLiteral("the message does not lead back to the device menu"));
    if (!module->wait_for(Mode::Application, std::chrono::seconds(30)) || module->enumerations() != 3)
        e2e->fail(QStringLiteral("the module is not back in its application on a third port"));
    moduleRow();
}

} // namespace

// The module and the image are there when the program starts: it reads the
// named ports and the image list once.
void prepareTestDriver()
{
    folder = std::make_unique<QTemporaryDir>();
    if (!folder->isValid()) {
        preparationFailure = QStringLiteral("no temporary folder");
        return;
    }
    offerTestImage();
    ports = std::make_unique<ModulePorts>(folder->path());
    module = std::make_unique<simmodule::ReenumeratingModule>(ProgrammableModule::falcon(),
        [](const std::string& gone, const std::string& appeared) { ports->change(gone, appeared); });
    qputenv("SARVIK_EXTRA_SERIAL_PORTS", (ports->application() + ':' + ports->bootloader()).toLocal8Bit());
}

void startTestDriver(QQmlApplicationEngine& engine)
{
    e2e = std::make_unique<EndToEnd>(engine);
    // Unregistered before Qt's own globals go, which the driver's would
    // outlive.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, [] { firmware.reset(); });
    QTimer::singleShot(0, [] {
        e2e->run([] {
            if (!preparationFailure.isEmpty())
                e2e->fail(preparationFailure);
            upgrade();
        });
    });
}
