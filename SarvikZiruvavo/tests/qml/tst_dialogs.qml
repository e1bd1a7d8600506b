// The overlays: the message dialog, the help panel, the new-version dialog
// and the spinner that follows an application's initialisation.
import QtQuick 2.15
import QtTest 1.15

ShellTestCase {
    name: "Dialogs"

    function test_messageDialogRunsTheCallbackThenSignals_data() {
        return [
            { tag: "OK", button: "dialogOkButton", cancel: false, signals: ["callback true", "accepted"] },
            { tag: "CANCEL", button: "dialogCancelButton", cancel: true, signals: ["callback false", "rejected"] }
        ];
    }
    function test_messageDialogRunsTheCallbackThenSignals(data) {
        createMainWindow();
        var dialog = part("dialog");
        var happened = [];
        dialog.accepted.connect(function () { happened.push("accepted"); });
        dialog.rejected.connect(function () { happened.push("rejected"); });
        dialog.cancelButtonVisible = data.cancel;
        dialog.open("Title", "Text", function (ok) { happened.push("callback " + ok); });
        openedDialog();
        compare(part("dialogTitle").text, "Title");
        compare(part("dialogMessage").text, "Text");
        compare(part("dialogCancelButton").visible, data.cancel);
        clickItem(part(data.button));
        compare(happened, data.signals);
        tryVerify(function () { return !dialog.visible; });
        verify(!dialog.cancelButtonVisible, "CANCEL goes with the message that asked for it");
    }

    function test_messageDialogDefaultsAndSlidesIntoPlace() {
        createMainWindow();
        var dialog = part("dialog");
        dialog.open(undefined, "Only a message");
        var frame = part("dialogFrame");
        compare(part("dialogTitle").text, "Message");
        verify(frame.slide < 0, "it starts above its place");
        openedDialog();
        compare(frame.slide, 0);
        // Nothing under the dialog takes a click meanwhile.
        mouseClick(part("helpButton"));
        verify(!part("help").isOpen);
        clickItem(part("dialogOkButton"));
    }

    function test_newVersionDialogShowsTheCheckAndLinksToTheRelease() {
        deviceManager.onlineUpgrade.newVersion = "2.8.0-1";
        deviceManager.onlineUpgrade.newDescription = "Sleep stages for babies.";
        deviceManager.onlineUpgrade.newWebpageUrl = "https://example.org/releases/2.8.0";
        listDevices([{ "deviceName": "Sarvik Osprey" }]);
        createMainWindow();
        mouseClick(part("deviceRow1"));
        waitForStack();
        deviceManager.newVersionAvailable();
        var upgrade = part("onlineupgradedialog");
        tryVerify(function () { return upgrade.opacity === 1; });
        compare(part("upgradeTitle").text, "New version");
        compare(part("upgradeVersion").text, "2.8.0-1");
        compare(part("upgradeDescription").text, "Sleep stages for babies.");
        compare(upgrade.moreInformationText,
                "For more information, <a href=\"https://example.org/releases/2.8.0\">click here</a>.");
        var opened = [];
        upgrade.openUrl = function (url) { opened.push(String(url)); };
        var link = part("upgradeLink");
        mouseClick(link, 180, link.height / 2);
        compare(opened, ["https://example.org/releases/2.8.0"]);
        clickItem(part("upgradeOkButton"));
        waitForStack();
        compare(pageStack().depth, 1, "closing it leads back to the device menu");
    }

    // Opens the settings page of the module's one application and runs it
    // as a settings page does on "Apply".
    function runApplication(result, error) {
        var devices = listDevices([{ "mockSupportedApps": 0x10 }]);
        createMainWindow();
        mouseClick(part("deviceRow1"));
        waitForStack();
        currentPage().pageFolder = stubFolder;
        mouseClick(part("appButton0", currentPage()));
        waitForStack();
        var app = devices[1].activeDeviceApp;
        app.mockExecuteResult = result;
        app.mockExecuteError = error || "";
        return app;
    }

    function test_spinnerFollowsInitialisation_data() {
        return [
            { tag: "succeeded", result: 1, shown: false },
            { tag: "intentional reset", result: 2, shown: true }
        ];
    }
    function test_spinnerFollowsInitialisation(data) {
        var app = runApplication(data.result);
        var spinner = part("spinner");
        app.initializing();
        verify(spinner.shown);
        tryVerify(function () { return spinner.opacity === 1; });
        app.initialized(data.result, "");
        compare(spinner.shown, data.shown);
        verify(!part("dialog").isOpen);
    }

    function test_failedInitialisationReportsAndLeadsBackToTheDeviceMenu() {
        var app = runApplication(0, "failed to set sensitivity");
        app.execute();
        verify(!part("spinner").shown);
        openedDialog();
        compare(part("dialogTitle").text, "Error");
        compare(part("dialogMessage").text, "Failed to initialize Sarvik device!\nError: failed to set sensitivity");
        clickItem(part("dialogOkButton"));
        waitForStack();
        compare(pageStack().depth, 1);
        verify(!deviceManager.activeDevice);
    }

    function test_spinnerTurnsOnlyWhileShown() {
        createMainWindow();
        var spinner = part("spinner");
        verify(!spinner.visible);
        spinner.show();
        tryVerify(function () { return spinner.opacity === 1; });
        var glyph = spinner.children[0];
        var before = glyph.rotation;
        waitForFrames(5);
        verify(glyph.rotation !== before, "the glyph turns");
        spinner.hide();
        tryVerify(function () { return !spinner.visible; });
    }
}
