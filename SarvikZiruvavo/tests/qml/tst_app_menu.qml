// The application menu: the applications a module supports, choosing one,
// safe mode, the firmware section and the upgrade's progress.
import QtQuick 2.15
import QtTest 1.15

ShellTestCase {
    name: "AppMenu"

    // Opens the application menu of a module made from properties.
    function openAppMenu(properties) {
        var devices = listDevices([properties]);
        createMainWindow();
        mouseClick(part("deviceRow1"));
        waitForStack();
        var menu = currentPage();
        menu.pageFolder = stubFolder;
        return { device: devices[1], menu: menu };
    }

    function appNamesShown(menu) {
        var names = [];
        for (var i = 0; i < menu.appCount; ++i)
            names.push(part("appButton" + i, menu).label);
        return names;
    }

    function test_applicationsFollowTheMask_data() {
        return [
            { tag: "presence", mask: 0x10, labels: ["Presence"], columns: 4 },
            { tag: "bit order, not set order", mask: 0x90, labels: ["Presence", "Baseband"], columns: 4 },
            { tag: "respiration family", mask: 0x2 | 0x8 | 0x20 | 0x40,
              labels: ["Respiration", "Sleep", "Respiration_2\nAdult, 0.4-5.0 m range\nFeature Optimized",
                       "Respiration_3\nBaby, 0.4-5.0 m range\nFeature Optimized"], columns: 4 },
            { tag: "five in rows of three", mask: 0x2 | 0x10 | 0x80 | 0x200 | 0x400,
              labels: ["Respiration", "Presence", "Baseband",
                       "Respiration_4\nAdult, 0.4-3.0 m range\nMemory Optimized",
                       "Respiration_5\nBaby, 0.4-3.5 m range\nMemory Optimized"], columns: 3 },
            { tag: "feature bits make no application", mask: 0x100 | 0x800 | 0x1000 | 0x2000 | 0x4000,
              labels: ["DAX"], columns: 4 }
        ];
    }
    function test_applicationsFollowTheMask(data) {
        var opened = openAppMenu({ "deviceName": "Sarvik Osprey", "mockSupportedApps": data.mask });
        var menu = opened.menu;
        compare(part("appMenuHeading", menu).text, "Sarvik Osprey");
        compare(menu.appCount, data.labels.length);
        compare(appNamesShown(menu), data.labels);
        compare(part("appGrid", menu).columns, data.columns);
        verify(!part("noProfileText", menu).visible);
        for (var i = 0; i < menu.appCount; ++i) {
            var appName = opened.device.deviceApps[i].appName;
            compare(String(part("appButton" + i, menu).iconSource),
                    "qrc:///images/icon_" + appName.replace(/\s/g, "").toLowerCase() + ".png");
        }
    }

    function test_noApplicationSaysSo() {
        var menu = openAppMenu({ "mockSupportedApps": 0x800 }).menu;
        compare(menu.appCount, 0);
        var text = part("noProfileText", menu);
        tryVerify(function () { return text.visible; });
        compare(text.text, "No profile supported for this sensor.\nPlease contact Kestrom support.");
        verify(!part("appGrid", menu).visible);
    }

    function test_choosingAnApplicationOpensItsSettingsPage_data() {
        return [
            { tag: "Presence", mask: 0x10, index: 0, page: "PresenceAppSettings" },
            { tag: "Adult Respiration", mask: 0x2 | 0x20, index: 1, page: "AdultRespirationAppSettings" },
            { tag: "DAX", mask: 0x80 | 0x100, index: 1, page: "DAXAppSettings" }
        ];
    }
    function test_choosingAnApplicationOpensItsSettingsPage(data) {
        var opened = openAppMenu({ "mockSupportedApps": data.mask });
        mouseClick(part("appButton" + data.index, opened.menu));
        var calls = opened.device.mockCalls.filter(function (c) { return c.name === "setDeviceAppActivatedAt"; });
        compare(calls.length, 1);
        compare(calls[0].args, [data.index, true]);
        compare(opened.device.activeDeviceApp, opened.device.deviceApps[data.index]);
        waitForStack();
        compare(pageStack().depth, 3);
        compare(currentPage().stubName, data.page);
        verify(currentPage().initial, "opened from the menu, the settings page is the first one");
        verify(!part("helpButton").visible, "a page without help has no help button");
    }

    function test_safeModeOffersOnlyTheWayBack() {
        var menu = openAppMenu({ "mockSupportedApps": 0x10, "mockConnectionMode": 3 }).menu;
        verify(!part("appGrid", menu).visible);
        verify(!part("noProfileText", menu).visible);
        verify(part("safeModeSection", menu).visible);
        compare(part("safeModeText", menu).text,
                "The sensor has entered safe mode due to an internal exception. Please cycle power on the module. "
                + "If the problem persists, please contact support@kestrom.no.");
        clickItem(part("safeModeOkButton", menu));
        waitForStack();
        compare(pageStack().depth, 1);
    }

    function test_firmwareSectionTellsTheState_data() {
        var tail = "Please click Change FW version below to enter\nthe firmware menu and view the latest changes.";
        return [
            { tag: "behind", version: "1.6.6", latest: "1.6.8", state: 1,
              text: "A new firmware version is available!\n" + tail },
            { tag: "ahead", version: "1.7.0", latest: "1.6.8", state: 3,
              text: "Previous firmware versions are available.\n" + tail },
            { tag: "on latest", version: "1.6.8", latest: "1.6.8", state: 2, text: tail },
            { tag: "single supported", version: "3.3.0", latest: "3.3.0", state: 0, text: "" },
            { tag: "no images", version: "0.9.1", latest: "", state: 4,
              text: "No firmware images available with Sarvik Verovaze for this device." }
        ];
    }
    function test_firmwareSectionTellsTheState(data) {
        var menu = openAppMenu({ "deviceFWVersion": data.version, "latestFWVersion": data.latest,
                                 "firmwareState": data.state }).menu;
        verify(part("firmwareSection", menu).visible);
        compare(part("currentFirmware", menu).text, "Current firmware: " + data.version.toUpperCase());
        compare(part("latestFirmware", menu).visible, data.latest !== "");
        if (data.latest !== "")
            compare(part("latestFirmware", menu).text, "Latest firmware: " + data.latest.toUpperCase());
        compare(part("firmwareStateText", menu).text, data.text);
        compare(part("firmwareStateText", menu).visible, data.text !== "");
        compare(part("changeFirmwareButton", menu).visible, data.latest !== "");
        verify(!part("bootloaderNote", menu).visible);
    }

    function test_embeddedModuleOfUnknownClassGetsTheBootloaderNote() {
        var menu = openAppMenu({ "mockDeviceTypeId": 7, "firmwareClass": 0, "firmwareState": 4,
                                 "latestFWVersion": "", "mockSupportedApps": 0x100 }).menu;
        verify(part("bootloaderNote", menu).visible);
        verify(!part("firmwareStateText", menu).visible);
        verify(part("bootloaderNote", menu).text.indexOf("Plover Firmware Programming application note") > 0);
    }

    function test_playbackDeviceHasNoFirmwareSection() {
        listDevices([]);
        createMainWindow();
        var menu = currentPage();
        menu.openRecording("file:///tmp/sarvik_recording_meta_1.dat");
        waitForStack();
        verify(!part("firmwareSection", currentPage()).visible);
    }

    function test_changeFirmwareOpensTheFirmwareMenu() {
        deviceManager.mockSetFirmwareImages([{ "version": "1.6.8", "releasenotes": "• newest" }]);
        var menu = openAppMenu({ "deviceFWVersion": "1.6.6", "firmwareState": 1 }).menu;
        clickItem(part("changeFirmwareButton", menu));
        waitForStack();
        compare(pageStack().depth, 3);
        compare(currentPage().helpTitle, "Firmware Versions");
    }

    function test_upgradeShowsItsProgressAndKeepsItsLastText() {
        var opened = openAppMenu({ "mockSupportedApps": 0x10 });
        var device = opened.device;
        var menu = opened.menu;
        verify(!part("upgradeSection", menu).visible);
        device.installFirmware("1.6.8");
        verify(part("upgradeSection", menu).visible);
        verify(!part("firmwareSection", menu).visible, "no firmware section during an upgrade");
        verify(!part("backArrow").visible, "no way back during an upgrade");
        compare(part("upgradeInfo", menu).text,
                "Please wait while firmware version 1.6.8 is installed onto your Sarvik Module");
        device.deviceUpgradeProgress(0.25);
        compare(part("upgradeProgress", menu).value, 0.25);
        device.deviceUpgradeInfo = "Module upgrade failed!\nUnable to find firmware for id: 0x12\nPlease contact Kestrom support";
        device.isDeviceUpgrading = false;
        verify(part("upgradeSection", menu).visible, "the last status stays");
        compare(part("upgradeInfo", menu).text,
                "Module upgrade failed!\nUnable to find firmware for id: 0x12\nPlease contact Kestrom support");
        verify(part("backArrow").visible);
    }
}
