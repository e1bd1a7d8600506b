// While an application is being configured (the spinner shows) or the
// device upgrades, the back arrow, the back key and the menus leave the
// pages alone: the waiting code still uses them.
import QtQuick 2.15
import QtTest 1.15

ShellTestCase {
    name: "NavigationLock"

    function test_configureLocksTheBackArrowAndTheMenus() {
        var devices = listDevices([{ "mockSupportedApps": 0x10 | 0x80 }]);
        createMainWindow();
        mouseClick(part("deviceRow1"));
        waitForStack();
        var appMenu = currentPage();
        appMenu.pageFolder = stubFolder;
        // As a settings page would have it: the application runs its configure.
        devices[1].setDeviceAppActivatedAt(0, true);
        devices[1].mockCalls = [];
        var app = devices[1].activeDeviceApp;
        app.initializing();
        verify(window.navigationLocked);

        clickItem(part("backArrow"));
        keyClick(Qt.Key_Back);
        mouseClick(part("appButton1", appMenu));
        verify(!window.goBack());
        verify(!window.popToDeviceMenu());
        waitForFrames(2);
        compare(pageStack().depth, 2);
        compare(currentPage(), appMenu);
        compare(devices[1].mockCallNames().indexOf("setDeviceAppActivatedAt"), -1);
        verify(deviceManager.activeDevice);

        app.initialized(1, "");
        verify(!window.navigationLocked);
        clickItem(part("backArrow"));
        waitForStack();
        compare(pageStack().depth, 1);
    }

    function test_configureLocksTheDeviceList() {
        var devices = listDevices([{ "mockSupportedApps": 0x10 }]);
        createMainWindow();
        part("spinner").show();
        mouseClick(part("deviceRow1"));
        verify(!deviceManager.activeDevice);
        part("spinner").hide();
        mouseClick(part("deviceRow1"));
        compare(deviceManager.activeDevice, devices[1]);
    }

    function test_upgradeLocksTheFirmwareMenu() {
        deviceManager.mockSetFirmwareImages([{ "version": "1.6.8", "releasenotes": "" }]);
        var devices = listDevices([{ "deviceFWVersion": "1.6.6", "firmwareState": 1 }]);
        createMainWindow();
        mouseClick(part("deviceRow1"));
        waitForStack();
        clickItem(part("changeFirmwareButton", currentPage()));
        waitForStack();
        var firmwareMenu = currentPage();
        devices[1].isDeviceUpgrading = true;
        verify(window.navigationLocked);
        verify(!part("backArrow").visible);
        mouseClick(part("installButton", firmwareMenu));
        verify(!part("dialog").isOpen);
        keyClick(Qt.Key_Back);
        compare(currentPage(), firmwareMenu);
    }
}
