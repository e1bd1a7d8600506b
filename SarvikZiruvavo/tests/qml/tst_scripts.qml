// The shared scripts: the window's colours and colour table, the window's
// rules, the menus' texts and names, the widgets' rules.
import QtQuick 2.15
import QtTest 1.15
import com.sarvik.rvi.firmwareimage 1.0
import "qrc:/js/global.js" as Global
import "qrc:/js/shell.js" as Shell
import "qrc:/js/menus.js" as Menus
import "qrc:/js/widgets.js" as Widgets

TestCase {
    name: "Scripts"

    function test_colours() {
        compare(Global.colorPrimaryPurple, "#000000");
        compare(Global.colorPrimaryBlack, "#000000");
        compare(Global.colorPrimaryWhite, "#FFFFFF");
        compare(Global.colorSecondaryOrange, "#d5764d");
        compare(Global.colorSecondaryGreen, "#5EAB3D");
        compare(Global.colorSecondaryPurple, "#2e1c45");
        compare(Global.colorSecondaryLightGrey, "#BABCBE");
        compare(Global.colorSecondaryCyan, "#4DC4CF");
        compare(Global.colorSecondaryBlue, "#3b86ac");
        compare(Global.colorSecondaryDarkGrey, "#717073");
        compare(Global.fontFamily, "Avenir Next");
    }

    function test_colormap() {
        var map = Global.colormap;
        compare(map.length, 256);
        compare(map[0], [0.267004, 0.004874, 0.329415, 0.917361]);
        compare(map[255], [0.993248, 0.906157, 0.143936, 0.128909]);
        for (var i = 0; i < 256; ++i) {
            compare(map[i].length, 4, "row " + i);
            for (var c = 0; c < 4; ++c)
                verify(map[i][c] >= 0 && map[i][c] <= 1, "row " + i + " column " + c);
            if (i > 0)
                verify(map[i][3] < map[i - 1][3], "the grey level falls at row " + i);
        }
    }

    function test_windowSize_data() {
        return [
            { tag: "1280x1024 desktop", w: 1280, h: 1024, width: 700, height: 1024, minW: 580, minH: 800 },
            { tag: "1920x1080 less a task bar", w: 1920, h: 1040, width: 800, height: 1040, minW: 580, minH: 800 },
            { tag: "wide and tall", w: 3840, h: 2160, width: 800, height: 1050, minW: 580, minH: 800 },
            { tag: "1600 wide", w: 1600, h: 900, width: 800, height: 920, minW: 580, minH: 800 },
            { tag: "small screen", w: 500, h: 700, width: 700, height: 920, minW: 500, minH: 700 }
        ];
    }
    function test_windowSize(data) {
        compare(Shell.windowWidth(data.w), data.width);
        compare(Shell.windowHeight(data.h), data.height);
        compare(Shell.minimumWidth(data.w), data.minW);
        compare(Shell.minimumHeight(data.h), data.minH);
    }

    function test_metrics() {
        verify(Shell.isDesktopOs("linux"));
        verify(Shell.isDesktopOs("windows"));
        verify(Shell.isDesktopOs("osx"));
        verify(!Shell.isDesktopOs("android"));
        compare(Shell.scaleFactor(true, 700, 1024), 0.9);
        compare(Shell.scaleFactor(false, 1280, 800), 1.25);
        compare(Shell.topBarHeight(0.9), 99);
        compare(Shell.topBarHeight(3), 220);
        compare(Shell.splashLogoHeight(0.9), 230.4);
        compare(Shell.splashLogoHeight(2), 256);
        compare(Shell.backArrowColor(1), "transparent");
        compare(Shell.backArrowColor(2), "#FFFFFF");
    }

    function test_initializationOutcome() {
        compare(Shell.initializationOutcome(Shell.InitializationFailed), "fail");
        compare(Shell.initializationOutcome(Shell.InitializationSucceeded), "hide");
        compare(Shell.initializationOutcome(Shell.InitializationIntentionalReset), "wait");
        compare(Shell.initializationErrorText("no reply"), "Failed to initialize Sarvik device!\nError: no reply");
    }

    function test_navigationLock() {
        verify(!Shell.isNavigationLocked(false, null));
        verify(Shell.isNavigationLocked(true, null));
        verify(!Shell.isNavigationLocked(false, { isDeviceUpgrading: false }));
        verify(Shell.isNavigationLocked(false, { isDeviceUpgrading: true }));
    }

    // The scripts' copies of FirmwareImage's enumerations must not drift.
    function test_firmwareEnumerationsMatchTheType() {
        compare(Menus.UnknownClass, FirmwareImage.UnknownClass);
        compare(Menus.DeviceOnSingleSupported, FirmwareImage.DeviceOnSingleSupported);
        compare(Menus.DeviceIsBehind, FirmwareImage.DeviceIsBehind);
        compare(Menus.DeviceOnLatest, FirmwareImage.DeviceOnLatest);
        compare(Menus.DeviceIsAhead, FirmwareImage.DeviceIsAhead);
        compare(Menus.FirmwareNotOnDisk, FirmwareImage.FirmwareNotOnDisk);
    }

    function test_deviceMenuTexts() {
        compare(Menus.deviceMenuHelpTitle, "Sarvik Devices");
        compare(Menus.deviceMenuHelpText("About:\nSW Version: 2.7.3"),
                "Please select desired Sarvik sensor module device.\n\nThis list will only show valid Sarvik sensor "
                + "devices.\n\nAfter you plug in the device, it may take up to 10 seconds to identify and display it."
                + "\n\n\nAbout:\nSW Version: 2.7.3");
        compare(Menus.deviceMenuHeading, "DEVICES");
        compare(Menus.noDeviceText, "Please connect your Sarvik sensor device.");
        compare(Menus.recordingDialogTitle, "Select a recording");
        compare(Menus.recordingNameFilter, "Sarvik Recording (sarvik_recording_meta*.dat)");
        compare(Menus.recordingErrorText("bad header"), "Failed to open recording:\nbad header");
    }

    function test_deviceIcons_data() {
        return [
            { tag: "USB", type: "USB", icon: "qrc:///images/icon_device_usb.png", playback: false },
            { tag: "Serial", type: "Serial", icon: "qrc:///images/icon_device_serial.png", playback: false },
            { tag: "Bluetooth", type: "Bluetooth", icon: "qrc:///images/icon_device_bluetooth.png", playback: false },
            { tag: "Playback", type: "Playback", icon: "qrc:///images/icon_device_playback.png", playback: true }
        ];
    }
    function test_deviceIcons(data) {
        compare(Menus.deviceIconSource(data.type), data.icon);
        compare(Menus.isPlaybackType(data.type), data.playback);
        // Every icon the menu names is in the resources.
        var image = createTemporaryQmlObject("import QtQuick 2.15; Image { source: \"" + data.icon + "\" }", this);
        tryCompare(image, "status", Image.Ready);
    }

    // Each application has its settings page, page and icon named after it.
    function test_applicationNames_data() {
        return [
            { tag: "Respiration", name: "Respiration", base: "Respiration", icon: "respiration" },
            { tag: "Sleep", name: "Sleep", base: "Sleep", icon: "sleep" },
            { tag: "Presence", name: "Presence", base: "Presence", icon: "presence" },
            { tag: "Adult Respiration", name: "Adult Respiration", base: "AdultRespiration", icon: "adultrespiration" },
            { tag: "Baby Respiration", name: "Baby Respiration", base: "BabyRespiration", icon: "babyrespiration" },
            { tag: "Heartrate", name: "Heartrate", base: "Heartrate", icon: "heartrate" },
            { tag: "Baseband", name: "Baseband", base: "Baseband", icon: "baseband" },
            { tag: "DAX", name: "DAX", base: "DAX", icon: "dax" }
        ];
    }
    function test_applicationNames(data) {
        compare(Menus.appSettingsPage(Menus.pageFolder, data.name), "qrc:///qml/" + data.base + "AppSettings.qml");
        compare(Menus.appPage(Menus.pageFolder, data.name), "qrc:///qml/" + data.base + "App.qml");
        var icon = "qrc:///images/icon_" + data.icon + ".png";
        compare(Menus.appIconSource(data.name), icon);
        var image = createTemporaryQmlObject("import QtQuick 2.15; Image { source: \"" + icon + "\" }", this);
        tryCompare(image, "status", Image.Ready);
    }

    function test_appGridColumns() {
        compare(Menus.appGridColumns(1), 4);
        compare(Menus.appGridColumns(4), 4);
        compare(Menus.appGridColumns(5), 3);
        compare(Menus.appGridColumns(6), 3);
    }

    function test_appMenuTexts() {
        compare(Menus.appMenuHelpTitle, "Device Apps");
        compare(Menus.noProfileText, "No profile supported for this sensor.\nPlease contact Kestrom support.");
        verify(Menus.showsNoProfileText(0, false, false, false));
        verify(!Menus.showsNoProfileText(1, false, false, false));
        verify(!Menus.showsNoProfileText(0, true, false, false));
        verify(!Menus.showsNoProfileText(0, false, true, false));
        verify(!Menus.showsNoProfileText(0, false, false, true));
        compare(Menus.safeModeText(), "The sensor has entered safe mode due to an internal exception. Please cycle "
                + "power on the module. If the problem persists, please contact " + Menus.supportEmail + ".");
        compare(Menus.currentFirmwareText("1.6.8-rc"), "Current firmware: 1.6.8-RC");
        compare(Menus.latestFirmwareText("3.3.0b"), "Latest firmware: 3.3.0B");
    }

    function test_firmwareStateText_data() {
        var tail = "Please click Change FW version below to enter\nthe firmware menu and view the latest changes.";
        return [
            { tag: "on latest", state: Menus.DeviceOnLatest, text: tail },
            { tag: "behind", state: Menus.DeviceIsBehind, text: "A new firmware version is available!\n" + tail },
            { tag: "ahead", state: Menus.DeviceIsAhead, text: "Previous firmware versions are available.\n" + tail },
            { tag: "single supported", state: Menus.DeviceOnSingleSupported, text: "" },
            { tag: "not on disk", state: Menus.FirmwareNotOnDisk,
              text: "No firmware images available with Sarvik Verovaze for this device." }
        ];
    }
    function test_firmwareStateText(data) {
        compare(Menus.firmwareStateText(data.state), data.text);
    }

    function test_bootloaderNote() {
        verify(Menus.showsBootloaderNote(true, Menus.UnknownClass, false));
        verify(!Menus.showsBootloaderNote(true, Menus.UnknownClass, true));
        verify(!Menus.showsBootloaderNote(true, 2, false));
        verify(!Menus.showsBootloaderNote(false, Menus.UnknownClass, false));
        var note = Menus.bootloaderNoteText();
        verify(note.indexOf("Unable to determine whether the Sarvik Open Bootloader is installed. Please see the ") === 0);
        verify(note.indexOf(">Plover Firmware Programming application note</a> for information on programming "
                            + "without a bootloader.") > 0);
        verify(note.indexOf("href=\"" + Menus.applicationNoteUrl + "\"") > 0);
    }

    function test_firmwareEntryLabel_data() {
        return [
            { tag: "installed", version: "1.6.6", device: "1.6.6", latest: "1.6.8", label: "Version: 1.6.6 (Installed)" },
            { tag: "latest, device behind", version: "1.6.8", device: "1.6.6", latest: "1.6.8",
              label: "Version: 1.6.8 (Latest)" },
            { tag: "latest and installed", version: "1.6.8", device: "1.6.8", latest: "1.6.8",
              label: "Version: 1.6.8 (Installed)" },
            { tag: "older", version: "1.4.7", device: "1.6.6", latest: "1.6.8", label: "Version: 1.4.7" },
            { tag: "upper-cased", version: "3.3.0b", device: "3.3.0B", latest: "3.3.0b", label: "Version: 3.3.0B (Installed)" }
        ];
    }
    function test_firmwareEntryLabel(data) {
        compare(Menus.firmwareEntryLabel(data.version, data.device, data.latest), data.label);
    }

    function test_firmwareMenuTexts() {
        compare(Menus.firmwareMenuHelpTitle, "Firmware Versions");
        compare(Menus.firmwareMenuText,
                "Select a version from the list and click the Install button below to install a firmware.");
        compare(Menus.initialFirmwareSelection(4, "1.6.6", "1.6.8"), 0);
        compare(Menus.initialFirmwareSelection(4, "1.6.8", "1.6.8"), -1);
        compare(Menus.initialFirmwareSelection(0, "1.6.6", "1.6.8"), -1);
        compare(Menus.installQuestion("1.6.8", "1.6.8"), "Would you like to install firmware version 1.6.8?");
        compare(Menus.installQuestion("1.5.10", "1.6.8"),
                "Warning! 1.5.10 is not the latest available version!\nAre you sure you want to install this "
                + "firmware?\n\nBy downgrading you may lose existing functionality\nor experience bugs fixed in the "
                + "latest version.");
    }

    function test_folderUrl() {
        compare(Menus.folderUrl("/home/user/sarvik"), "file:///home/user/sarvik");
        compare(Menus.folderUrl("file:///tmp"), "file:///tmp");
        compare(Menus.folderUrl(""), "");
    }

    function test_sliderLabel() {
        compare(Widgets.sliderLabel(1.234, 2, "m"), "1.23 m");
        compare(Widgets.sliderLabel(15, 0, ""), "15");
        compare(Widgets.sliderLabel(0.5, 1, "x"), "0.5 x");
    }

    // Handles that come closer than the minimum length push, ones that move
    // farther than the maximum pull; neither leaves the range.
    function test_constrainRange_data() {
        // from 0.4 to 5, step 0.1, length 0.4 to 4.6
        return [
            { tag: "inside the limits", first: 1, second: 3, moved: "first", result: [1, 3] },
            { tag: "first pushes second", first: 2.9, second: 3, moved: "first", result: [2.9, 3.3] },
            { tag: "second pushes first", first: 1, second: 1.2, moved: "second", result: [0.8, 1.2] },
            { tag: "at the maximum length", first: 0.4, second: 5, moved: "first", result: [0.4, 5] },
            { tag: "clamped to the range", first: 0.4, second: 5.2, moved: "second", result: [0.4, 5] },
            { tag: "pushed against the end", first: 4.9, second: 5, moved: "first", result: [4.6, 5] },
            { tag: "pushed against the start", first: 0.4, second: 0.5, moved: "second", result: [0.4, 0.8] },
            { tag: "snaps to the step", first: 1.04, second: 2.96, moved: "first", result: [1, 3] }
        ];
    }
    function test_constrainRange(data) {
        var range = Widgets.constrainRange(data.first, data.second, data.moved, 0.4, 5, 0.1, 0.4, 4.6);
        fuzzyCompare(range[0], data.result[0], 1e-9, "first");
        fuzzyCompare(range[1], data.result[1], 1e-9, "second");
    }

    function test_constrainRangePullsAlongPastTheMaximumLength() {
        var range = Widgets.constrainRange(1, 5, "second", 0, 5, 0.5, 0.5, 3);
        compare(range, [2, 5]);
        range = Widgets.constrainRange(0, 4, "first", 0, 5, 0.5, 0.5, 3);
        compare(range, [0, 3]);
    }
}
