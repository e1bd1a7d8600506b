// The device menu: the list led by the playback entry, choosing a module,
// and opening a recording through the playback entry.
import QtQuick 2.15
import QtTest 1.15

ShellTestCase {
    name: "DeviceMenu"

    function test_listShowsEachDeviceWithItsIconNameAndInfo() {
        listDevices([{ "deviceName": "Sarvik Osprey", "deviceInfo": "USB, /dev/ttyACM0, 0042", "deviceType": "USB" }]);
        createMainWindow();
        compare(part("deviceMenuHeading").text, "DEVICES");
        compare(part("deviceList").count, 2);
        var rows = [
            { name: "Sarvik Playback", info: "Playback, from recording" },
            { name: "Sarvik Osprey", info: "USB, /dev/ttyACM0, 0042" }
        ];
        for (var i = 0; i < rows.length; ++i) {
            var row = part("deviceRow" + i);
            compare(part("deviceName", row).text, rows[i].name);
            compare(part("deviceName", row).font.pixelSize, 22);
            compare(part("deviceInfo", row).text, rows[i].info);
            compare(part("deviceInfo", row).font.pixelSize, 12);
        }
        verify(!part("noDeviceText").visible);
    }

    function test_emptyListAsksForADevice() {
        listDevices([]);
        createMainWindow();
        verify(!part("noDeviceText").visible);
        deviceManager.mockSetDevices([]);
        tryVerify(function () { return part("noDeviceText").visible; });
        compare(part("noDeviceText").text, "Please connect your Sarvik sensor device.");
    }

    function test_choosingAModuleActivatesItAndOpensItsApplications() {
        var devices = listDevices([{ "deviceName": "Sarvik Osprey" }, { "deviceName": "Sarvik Falcon" }]);
        createMainWindow();
        mouseClick(part("deviceRow2"));
        compare(deviceManager.activeDevice, devices[2]);
        var call = deviceManager.mockCalls.filter(function (c) { return c.name === "setDeviceActivatedAt"; })[0];
        compare(call.args, [2, true]);
        waitForStack();
        compare(pageStack().depth, 2);
        compare(part("appMenuHeading", currentPage()).text, "Sarvik Falcon");
        // The chosen row is highlighted while the menu is away.
        verify(devices[2].isDeviceActive);
    }

    function test_clickWhileADeviceIsActiveDoesNothing() {
        listDevices([{ "deviceName": "Sarvik Osprey" }, { "deviceName": "Sarvik Falcon" }]);
        createMainWindow();
        var menu = currentPage();
        deviceManager.setDeviceActivatedAt(1, true);
        deviceManager.mockCalls = [];
        mouseClick(part("deviceRow2"));
        compare(deviceManager.mockCallCount("setDeviceActivatedAt"), 0);
        compare(pageStack().depth, 1);
        verify(menu.isDeviceMenu);
    }

    function test_playbackEntryAsksForARecording() {
        var devices = listDevices([{ "deviceName": "Sarvik Osprey" }]);
        devices[0].defaultLogPath = "/home/someone/sarvik";
        createMainWindow();
        var menu = currentPage();
        mouseClick(part("deviceRow0"));
        compare(deviceManager.activeDevice, devices[0]);
        compare(pageStack().depth, 1);
        var fileDialog = menu.recordingDialog;
        verify(fileDialog, "no file dialog");
        tryVerify(function () { return fileDialog.visible; });
        compare(fileDialog.title, "Select a recording");
        compare(fileDialog.nameFilters, ["Sarvik Recording (sarvik_recording_meta*.dat)"]);
        compare(String(fileDialog.folder), "file:///home/someone/sarvik");
        fileDialog.close();
    }

    function test_recordingAcceptedOpensTheApplications() {
        var devices = listDevices([{ "deviceName": "Sarvik Osprey" }]);
        createMainWindow();
        var menu = currentPage();
        mouseClick(part("deviceRow0"));
        menu.recordingDialog.close();
        menu.openRecording("file:///tmp/rec/sarvik_recording_meta_1.dat");
        var opened = devices[0].mockCalls.filter(function (c) { return c.name === "setRecordingUrl"; });
        compare(opened.length, 1);
        compare(opened[0].args, ["file:///tmp/rec/sarvik_recording_meta_1.dat"]);
        waitForStack();
        compare(pageStack().depth, 2);
        compare(deviceManager.activeDevice, devices[0]);
        // The playback bar is loaded for the recording, and shows over application pages only.
        verify(part("playbackBar").active);
        verify(!part("playbackBar").visible);
    }

    // A recording chosen after the playback entry was released activates it again.
    function test_recordingAcceptedWithoutTheActivePlaybackEntryActivatesIt() {
        var devices = listDevices([{ "deviceName": "Sarvik Osprey" }]);
        createMainWindow();
        var menu = currentPage();
        menu.openRecording("file:///tmp/rec/sarvik_recording_meta_1.dat");
        compare(deviceManager.activeDevice, devices[0]);
        compare(devices[0].mockCallNames(), ["setRecordingUrl"]);
    }

    function test_recordingRefusedReportsTheErrorAndReleasesTheDevice() {
        var devices = listDevices([{ "deviceName": "Sarvik Osprey" }]);
        devices[0].mockRecordingAccepted = false;
        devices[0].mockRecordingError = "no data files in the session";
        createMainWindow();
        var menu = currentPage();
        mouseClick(part("deviceRow0"));
        menu.recordingDialog.close();
        menu.openRecording("file:///tmp/rec/sarvik_recording_meta_1.dat");
        verify(!deviceManager.activeDevice);
        openedDialog();
        compare(part("dialogTitle").text, "Error");
        compare(part("dialogMessage").text, "Failed to open recording:\nno data files in the session");
        compare(pageStack().depth, 1);
    }

    function test_recordingCancelledLeavesNoActiveDevice() {
        listDevices([{ "deviceName": "Sarvik Osprey" }]);
        createMainWindow();
        var menu = currentPage();
        mouseClick(part("deviceRow0"));
        verify(deviceManager.activeDevice);
        menu.recordingDialog.close();
        menu.cancelRecording();
        verify(!deviceManager.activeDevice);
        compare(pageStack().depth, 1);
    }

    function test_returningToTheMenuReleasesTheDevice() {
        listDevices([{ "deviceName": "Sarvik Osprey" }]);
        createMainWindow();
        mouseClick(part("deviceRow1"));
        waitForStack();
        verify(deviceManager.activeDevice);
        window.goBack();
        waitForStack();
        verify(!deviceManager.activeDevice);
        verify(currentPage().isDeviceMenu);
    }
}
