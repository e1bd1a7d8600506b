// The firmware menu: the images with their labels and notes, the selection,
// the question before an installation, and the end of an upgrade.
import QtQuick 2.15
import QtTest 1.15

ShellTestCase {
    name: "FirmwareMenu"

    readonly property var shippedImages: [
        { "version": "1.6.8", "releasenotes": "• faster presence" },
        { "version": "1.6.6", "releasenotes": "• fixes" },
        { "version": "1.5.10", "releasenotes": "• vital signs" },
        { "version": "1.4.7", "releasenotes": "• first" }
    ]

    // Opens the firmware menu of a module on version deviceVersion.
    function openFirmwareMenu(deviceVersion) {
        deviceManager.mockSetFirmwareImages(shippedImages);
        var devices = listDevices([{ "deviceFWVersion": deviceVersion, "latestFWVersion": "1.6.8",
                                     "firmwareState": deviceVersion === "1.6.8" ? 2 : 1 }]);
        createMainWindow();
        mouseClick(part("deviceRow1"));
        waitForStack();
        clickItem(part("changeFirmwareButton", currentPage()));
        waitForStack();
        return { device: devices[1], menu: currentPage() };
    }

    function labels(menu) {
        var shown = [];
        for (var i = 0; i < shippedImages.length; ++i)
            shown.push(part("firmwareLabel", part("firmwareEntry" + i, menu)).text);
        return shown;
    }

    function test_entriesAreLabelledAndTheLatestStartsSelected() {
        var menu = openFirmwareMenu("1.6.6").menu;
        compare(part("firmwareMenuText", menu).text,
                "Select a version from the list and click the Install button below to install a firmware.");
        compare(labels(menu), ["Version: 1.6.8 (Latest)", "Version: 1.6.6 (Installed)", "Version: 1.5.10",
                               "Version: 1.4.7"]);
        compare(part("firmwareNotes", part("firmwareEntry2", menu)).text, "• vital signs");
        compare(menu.selectedIndex, 0);
        verify(part("installButton", menu).enabled);
    }

    function test_onTheLatestNothingStartsSelected() {
        var menu = openFirmwareMenu("1.6.8").menu;
        compare(labels(menu)[0], "Version: 1.6.8 (Installed)");
        compare(menu.selectedIndex, -1);
        verify(!part("installButton", menu).enabled);
        mouseClick(part("firmwareEntry3", menu));
        compare(menu.selectedIndex, 3);
        verify(part("installButton", menu).enabled);
    }

    function test_installQuestionWarnsBeforeAnOlderVersion_data() {
        return [
            { tag: "latest", index: 0, text: "Would you like to install firmware version 1.6.8?" },
            { tag: "older", index: 2,
              text: "Warning! 1.5.10 is not the latest available version!\nAre you sure you want to install this "
                    + "firmware?\n\nBy downgrading you may lose existing functionality\nor experience bugs fixed in "
                    + "the latest version." }
        ];
    }
    function test_installQuestionWarnsBeforeAnOlderVersion(data) {
        var menu = openFirmwareMenu("1.6.6").menu;
        mouseClick(part("firmwareEntry" + data.index, menu));
        clickItem(part("installButton", menu));
        openedDialog();
        compare(part("dialogTitle").text, "Install Firmware");
        compare(part("dialogMessage").text, data.text);
        verify(part("dialogCancelButton").visible);
        verify(part("dialogOkButton").visible);
    }

    function test_okLeavesTheMenuAndInstalls() {
        var opened = openFirmwareMenu("1.6.6");
        mouseClick(part("firmwareEntry1", opened.menu));
        clickItem(part("installButton", opened.menu));
        openedDialog();
        clickItem(part("dialogOkButton"));
        waitForStack();
        compare(pageStack().depth, 2);
        var installs = opened.device.mockCalls.filter(function (c) { return c.name === "installFirmware"; });
        compare(installs.length, 1);
        compare(installs[0].args, ["1.6.6"]);
        verify(part("upgradeSection", currentPage()).visible);
    }

    function test_cancelInstallsNothing() {
        var opened = openFirmwareMenu("1.6.6");
        clickItem(part("installButton", opened.menu));
        openedDialog();
        clickItem(part("dialogCancelButton"));
        tryVerify(function () { return !part("dialog").visible; });
        compare(pageStack().depth, 3);
        compare(opened.device.mockCallNames().indexOf("installFirmware"), -1);
        // The next message has "OK" alone.
        part("dialog").open("Message", "text");
        verify(!part("dialogCancelButton").visible);
    }

    function test_upgradeEndIsReportedAndLeadsBackToTheDeviceMenu_data() {
        return [
            { tag: "complete", error: "", title: "Upgrade complete", text: "The module has been successfully upgraded." },
            { tag: "failed", error: "Module upgrade failed!\nUnable to program new firmware", title: "Error",
              text: "Module upgrade failed!\nUnable to program new firmware" }
        ];
    }
    function test_upgradeEndIsReportedAndLeadsBackToTheDeviceMenu(data) {
        var opened = openFirmwareMenu("1.6.6");
        clickItem(part("installButton", opened.menu));
        openedDialog();
        clickItem(part("dialogOkButton"));
        waitForStack();
        opened.device.mockFinishUpgrade(data.error);
        openedDialog();
        compare(part("dialogTitle").text, data.title);
        compare(part("dialogMessage").text, data.text);
        clickItem(part("dialogOkButton"));
        waitForStack();
        compare(pageStack().depth, 1);
        verify(!deviceManager.activeDevice);
    }
}
