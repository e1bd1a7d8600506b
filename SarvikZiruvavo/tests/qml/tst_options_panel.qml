// The control panel of an application page: legend, buttons, the record
// button and its error flow, the settings button, the noise-map drawer and
// the placement of the detail windows.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Window 2.15
import QtTest 1.15

ShellTestCase {
    name: "OptionsPanel"

    Component {
        id: detailWindowComponent
        Window {
            property int resets: 0
            function resetCharts() {
                resets += 1;
            }
            width: 200
            height: 200
            color: "#2e1c45"
        }
    }

    // The chart page of a module made from properties, with its control
    // panel.
    function openPage(properties) {
        var devices = listDevices([properties || { "mockSupportedApps": 0x10 }]);
        createMainWindow();
        deviceManager.setDeviceActivatedAt(1, true);
        devices[1].setDeviceAppActivatedAt(0, true);
        pageStack().push("qrc:///qml/AppMenu.qml", {}, StackView.Immediate);
        var page = pageStack().push(Qt.resolvedUrl("stubs/ChartPage.qml"), {}, StackView.Immediate);
        waitForFrames(1);
        return { "device": devices[1], "app": devices[1].deviceApps[0], "page": page, "panel": page.optionsPanel };
    }

    function test_buttonsByModule_data() {
        return [
            { tag: "current-chip module", type: 2, options: true, pulseDoppler: true },
            { tag: "older-chip module", type: 1, options: false, pulseDoppler: false }
        ];
    }
    function test_buttonsByModule(data) {
        var panel = openPage({ "mockSupportedApps": 0x10, "mockDeviceTypeId": data.type }).panel;
        compare(part("optionsButton", panel).visible, data.options);
        compare(part("pulseDopplerButton", panel).visible, data.pulseDoppler);
        verify(part("basebandButton", panel).visible);
        verify(part("movementButton", panel).visible);
        verify(part("recordButton", panel).visible);
        verify(part("settingsButton", panel).visible);
        panel.showOptions = false;
        panel.showBaseband = false;
        verify(!part("optionsButton", panel).visible);
        verify(!part("basebandButton", panel).visible);
    }

    function test_legend() {
        var panel = openPage().panel;
        compare(part("signalQualityText", panel).text, "SIGNAL QUALITY: N/A");
        compare(part("legendKey0", panel).text, "No presence");
        compare(part("legendKey1", panel).text, "Presence");
        panel.presence = false;
        panel.signalQuality = 8;
        compare(part("signalQualityText", panel).text, "SIGNAL QUALITY: 8");
        compare(part("legendKey0", panel).text, "Respiration");
        compare(part("legendKey1", panel).text, "Movement");
        panel.showSignalInfo = false;
        verify(!part("legend", panel).visible);
    }

    function test_recordButtonTogglesTheRecording() {
        var opened = openPage();
        var button = part("recordButton", opened.panel);
        compare(button.label, "Record");
        compare(String(button.iconSource), "qrc:///images/icon_record.png");
        clickItem(button);
        verify(opened.app.recordingEnabled);
        compare(button.label, "Stop");
        compare(String(button.iconSource), "qrc:///images/icon_recording.png");
        clickItem(button);
        verify(!opened.app.recordingEnabled);
        compare(button.label, "Record");
    }

    function test_recordingErrorStopsTheRecordButton() {
        var opened = openPage();
        var button = part("recordButton", opened.panel);
        clickItem(button);
        verify(opened.app.recordingEnabled);
        var labelWhenTold = "";
        var dialog = part("dialog");
        dialog.onIsOpenChanged.connect(function () {
            if (dialog.isOpen)
                labelWhenTold = button.label;
        });
        opened.app.recordingError("no space left on device");
        compare(dialog.title, "Error");
        compare(dialog.message, "Recording failed: no space left on device");
        compare(labelWhenTold, "Stop", "the dialog opens first");
        verify(!opened.app.recordingEnabled);
        compare(button.label, "Record");
    }

    function test_settingsButtonOpensTheSettingsPage() {
        var opened = openPage();
        clickItem(part("settingsButton", opened.panel));
        waitForStack();
        compare(pageStack().depth, 4);
        verify(!currentPage().initial, "opened from the page, not the menu");
        compare(currentPage().helpTitle, "Presence Sensor Settings");
    }

    function test_noiseMapCommands_data() {
        return [
            { tag: "load", button: "loadNoiseMapButton", call: "loadNoiseMap", ok: true },
            { tag: "store", button: "storeNoiseMapButton", call: "storeNoiseMap", ok: true },
            { tag: "delete fails", button: "deleteNoiseMapButton", call: "deleteNoiseMap", ok: false }
        ];
    }
    function test_noiseMapCommands(data) {
        var opened = openPage({ "mockSupportedApps": 0x10, "mockNoiseMapResult": data.ok });
        var panel = opened.panel;
        clickItem(part("optionsButton", panel));
        var drawerPanel = part("drawerPanel", opened.page);
        tryVerify(function () { return drawerPanel.x === 0; }, 5000, "the drawer does not open");
        var button = part(data.button, opened.page);
        var enabledWhileRunning = null;
        opened.device.mockDuringCommand = function () { enabledWhileRunning = button.enabled; };
        clickItem(button);
        compare(opened.device.mockCallNames().filter(function (n) { return n === data.call; }).length, 1);
        compare(enabledWhileRunning, false, "disabled while the command runs");
        verify(button.enabled, "enabled again");
        var dialog = openedDialog();
        compare(dialog.title, data.ok ? "Info" : "Error");
        compare(dialog.message, data.ok ? "Command successfully executed!" : "Command failed!");
        // The message stands over the drawer and takes the click.
        clickItem(part("dialogOkButton"));
        tryVerify(function () { return !dialog.visible; });
        verify(panel.drawerOpen, "the drawer stays open");
        clickItem(part("closeDrawerButton", opened.page));
        verify(!panel.drawerOpen);
        tryVerify(function () { return !part("noiseMapDrawer", opened.page).visible; });
    }

    function test_sleepAnalysisSwitchInTheDrawer_data() {
        return [
            { tag: "adult with plug-in and vital signs", mask: 0x20, plugin: true, vital: true, shown: true },
            { tag: "no plug-in", mask: 0x20, plugin: false, vital: true, shown: false },
            { tag: "no vital signs", mask: 0x20, plugin: true, vital: false, shown: false },
            { tag: "presence", mask: 0x10, plugin: true, vital: true, shown: false }
        ];
    }
    function test_sleepAnalysisSwitchInTheDrawer(data) {
        deviceManager.hasSleepAnalysisPlugin = data.plugin;
        var opened = openPage({ "mockSupportedApps": data.mask, "supportsVitalSignsData": data.vital });
        opened.panel.openDrawer();
        var options = part("sleepAnalysisOptions", opened.page);
        compare(options.visible, data.shown);
        if (!data.shown)
            return;
        compare(part("hypnogramChoiceText", opened.page).text,
                "Show full hypnogram or UI history setting (last 120 seconds)");
        var choice = part("hypnogramSwitch", opened.page);
        compare(choice.labels, ["Full Hypnogram", "UI History"]);
        compare(choice.currentIndex, 0);
        choice.value = 1;
        compare(opened.app.showFullHypnogram, false);
        choice.value = 0;
        compare(opened.app.showFullHypnogram, true);
    }

    function test_detailWindowsGoBesideTheMainWindow() {
        var opened = openPage();
        var panel = opened.panel;
        window.x = 40;
        window.y = 30;
        tryVerify(function () { return window.x === 40; });
        var baseband = createTemporaryObject(detailWindowComponent, this);
        var pulseDoppler = createTemporaryObject(detailWindowComponent, this);
        var movement = createTemporaryObject(detailWindowComponent, this);
        panel.basebandWindow = baseband;
        panel.pulseDopplerWindow = pulseDoppler;
        panel.movementWindow = movement;
        // 700 wide at 40 on a 1280 desktop: more room on the right, where
        // the window is kept on the desktop.
        clickItem(part("basebandButton", panel));
        verify(baseband.visible);
        verify(part("basebandButton", panel).active);
        compare(baseband.width, window.width);
        compare(baseband.height, window.height);
        compare(baseband.x, 1280 - window.width);
        compare(baseband.y, 30);
        // The other one goes left, since the first sits on the right.
        clickItem(part("pulseDopplerButton", panel));
        verify(pulseDoppler.visible);
        compare(pulseDoppler.x, 0);
        compare(pulseDoppler.y, 30);
        // The movement window: as wide, half as high.
        clickItem(part("movementButton", panel));
        compare(movement.width, window.width);
        compare(movement.height, Math.round(window.height / 2));
        panel.resetCharts();
        compare(movement.resets, 1);
        // A second click hides a window.
        clickItem(part("basebandButton", panel));
        verify(!baseband.visible);
        verify(!part("basebandButton", panel).active);
    }

    function test_windowMovedByTheUserKeepsItsPlace() {
        var opened = openPage();
        var panel = opened.panel;
        var baseband = createTemporaryObject(detailWindowComponent, this);
        panel.basebandWindow = baseband;
        panel.toggleWindow("baseband");
        // A move right after showing is the window manager's, not the user's.
        baseband.x = baseband.x - 1;
        verify(!panel.userMovedWindow("baseband"));
        wait(300);
        baseband.x = 123;
        baseband.y = 77;
        tryVerify(function () { return panel.userMovedWindow("baseband"); }, 5000, "the move is not the user's");
        panel.toggleWindow("baseband");
        panel.toggleWindow("baseband");
        compare(baseband.x, 123);
        compare(baseband.y, 77);
    }
}
