// The main window: its size and metrics, the splash, the top bar, the help
// panel, and what it looks like with the device menu.
import QtQuick 2.15
import QtTest 1.15

ShellTestCase {
    name: "MainWindow"

    function test_titleSizeAndMetrics() {
        createMainWindow();
        compare(window.title, "Sarvik");
        // Xvfb's 1280x1024 screen: half the width is below the least, 700.
        compare(window.width, 700);
        compare(window.height, 1024);
        compare(window.minimumWidth, 580);
        compare(window.minimumHeight, 800);
        verify(window.isDesktop);
        compare(window.scaleFactor, 0.9);
        compare(window.fontSizeSmall, 14);
        compare(window.fontSizeMedium, 20);
        fuzzyCompare(window.marginMini, 9, 1e-9);
        fuzzyCompare(window.innerMargin, 21.6, 1e-9);
        fuzzyCompare(window.marginSmall, 31.5, 1e-9);
        fuzzyCompare(window.marginMedium, 63, 1e-9);
        fuzzyCompare(window.iconSize, 67.5, 1e-9);
        compare(part("topBar").height, 99);
        verify(!window.inPageTransition);
    }

    function test_splashCoversTheWindowThenFades() {
        window = createTemporaryObject(mainComponent, this);
        var splash = part("splash");
        verify(splash.visible);
        compare(splash.width, window.width);
        compare(splash.height, window.height);
        // A click meant for the help button while the splash shows is swallowed.
        mouseClick(part("helpButton"));
        verify(!part("help").isOpen);
        tryVerify(function () { return !splash.visible; }, 5000, "the splash does not fade");
        mouseClick(part("helpButton"));
        tryVerify(function () { return part("help").isOpen; });
    }

    function test_deviceMenuIsTheFirstPageAndStartsTheManager() {
        createMainWindow();
        compare(pageStack().depth, 1);
        verify(currentPage().isDeviceMenu);
        compare(deviceManager.mockCallCount("onQmlCompleted"), 1);
        // Becoming the current page releases whatever device was active.
        verify(deviceManager.mockCallNames().indexOf("clearActiveDevice") >= 0);
    }

    function test_helpPanelShowsThePageHelpAndClosesOnClick() {
        createMainWindow();
        var help = part("help");
        clickItem(part("helpButton"));
        tryVerify(function () { return help.opacity === 1; });
        compare(part("helpTitle").text, "Sarvik Devices");
        compare(part("helpText").text, currentPage().helpText);
        verify(part("helpText").text.indexOf("\n\n\nAbout:\nSW Version: 2.7.3") > 0);
        mouseClick(help);
        tryVerify(function () { return !help.visible; });
    }

    function test_backArrowShowsWhenThereIsAPageToGoBackTo() {
        listDevices([{ "deviceName": "Osprey" }]);
        createMainWindow();
        var arrow = part("backArrow");
        compare(String(arrow.color), "#00000000");
        mouseClick(part("deviceRow1"));
        waitForStack();
        compare(pageStack().depth, 2);
        compare(String(arrow.color), "#ffffff");
        clickItem(arrow);
        waitForStack();
        compare(pageStack().depth, 1);
        verify(!deviceManager.activeDevice, "back at the device menu, no device stays active");
    }

    function test_backKeyGoesBackOnePage() {
        listDevices([{ "deviceName": "Osprey" }]);
        createMainWindow();
        mouseClick(part("deviceRow1"));
        waitForStack();
        // Keys go to the window that has the focus.
        window.requestActivate();
        tryVerify(function () { return window.activeFocusItem !== null; });
        keyClick(Qt.Key_Back);
        waitForStack();
        compare(pageStack().depth, 1);
    }

    function test_pushSlidesInFromTheRight() {
        listDevices([{ "deviceName": "Osprey" }]);
        createMainWindow();
        var menu = currentPage();
        mouseClick(part("deviceRow1"));
        verify(pageStack().busy);
        var next = pageStack().currentItem;
        tryVerify(function () { return next.x > 0 && next.x < pageStack().width; }, 1000, "the new page slides in");
        tryVerify(function () { return menu.x < 0; }, 1000, "the old page slides out to the left");
        waitForStack();
        compare(next.x, 0);
    }

    function test_lookWithTheDeviceMenu() {
        listDevices([
            { "deviceName": "Sarvik Osprey", "deviceInfo": "USB, /dev/ttyACM0, 00012345", "deviceType": "USB" },
            { "deviceName": "Sarvik Falcon", "deviceInfo": "Serial, /dev/ttyS0", "deviceType": "Serial" }
        ]);
        createMainWindow();
        waitForStack();
        var problem = screenshots.compareWindow(window, "main_window_device_menu");
        verify(problem === "", problem);
    }
}
