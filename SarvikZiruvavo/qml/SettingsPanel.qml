// The frame of every settings page: the heading, the page's sections in a
// scrolling column, the advanced settings (file split size, settings file),
// and "Apply" and "Defaults".
//
// A section is an item of the column with load() (application properties to
// widgets), reset() (widgets to defaults) and store() (widgets to application
// properties); a section with isModuleSection that a recording fixes is
// read-only on a playback device and keeps its values on "Defaults".
//
// Each time the page becomes the current page the active application loads
// its settings and the sections show them. "Apply" stores the widgets into
// the application, saves its settings and executes it; a presence-family
// module that must switch profile is recovered and executed again. Success
// leads to the application page: in place of this page when it was opened
// from the application menu (initial), else back to it.
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/global.js" as Global
import "../js/settings.js" as Settings
import "../js/menus.js" as Menus

Item {
    id: panel

    property bool initial: false
    property string helpTitle: ""
    property string helpText: ""
    // The presence family resets its module to switch profile and needs
    // data a recording may lack.
    property bool presenceFamily: false
    // On a playback device "Defaults" resets the frame alone.
    property bool playbackResetsFrameOnly: false
    default property alias sections: sectionColumn.data

    readonly property QtObject device: typeof deviceManager !== "undefined" && deviceManager
                                       ? deviceManager.activeDevice : null
    readonly property QtObject app: device ? device.activeDeviceApp : null
    readonly property string appName: app ? app.appName : ""
    // Where the application pages lie; a test may point it elsewhere.
    property string pageFolder: Menus.pageFolder
    readonly property string appPage: Menus.appPage(pageFolder, appName)
    readonly property bool isPlayback: !!device && device.isPlaybackDevice === true
    property bool advancedShown: false
    // Apply runs from the first click until its outcome, recovery included;
    // a click meanwhile (the configure spins an event loop) does nothing.
    property bool applying: false
    property bool awaitingRecovery: false

    function eachSection(action) {
        for (var i = 0; i < sectionColumn.children.length; ++i) {
            var section = sectionColumn.children[i];
            if (typeof section[action] !== "function")
                continue;
            if (action === "reset" && !resetsSection(section))
                continue;
            section[action]();
        }
    }
    function resetsSection(section) {
        if (!isPlayback)
            return true;
        return !playbackResetsFrameOnly && section.isModuleSection !== true;
    }

    // Application properties to widgets.
    function load() {
        if (!app)
            return;
        app.loadSettings();
        var unit = Settings.choiceIndex(app.logSplitUnit, Settings.splitUnitLabels.length, Settings.defaultSplitUnit);
        splitUnitSwitch.value = unit;
        var r = Settings.splitSizeRange;
        splitSizeSlider.value = Settings.sliderValue(app.logSplitSize, r.from, r.to, r.step, r.fallback);
        eachSection("load");
    }
    function resetToDefaults() {
        splitUnitSwitch.value = Settings.defaultSplitUnit;
        splitSizeSlider.value = Settings.splitSizeRange.fallback;
        eachSection("reset");
    }
    function storeFrame() {
        app.logSplitUnit = splitUnitSwitch.currentIndex;
        app.logSplitSize = Math.round(splitSizeSlider.value);
    }

    function apply() {
        if (applying || !app)
            return;
        applying = true;
        spinner.show();
        storeFrame();
        eachSection("store");
        app.saveSettings();
        execute();
    }
    function execute() {
        var running = app;
        if (!running) {
            endApply();
            return;
        }
        var result = running.execute();
        var outcome = Settings.applyOutcome(presenceFamily, result);
        if (outcome === "success") {
            succeed();
        } else if (outcome === "recover") {
            awaitingRecovery = true;
            deviceManager.recoverActiveDevice();
        } else {
            // The main window hides the spinner and tells the error.
            applying = false;
        }
    }
    function endApply() {
        applying = false;
        awaitingRecovery = false;
        spinner.hide();
    }
    function recovered(ok) {
        if (!awaitingRecovery)
            return;
        awaitingRecovery = false;
        if (ok) {
            execute();
            return;
        }
        endApply();
        dialog.open("Error", Settings.recoveryTimeoutText, applicationWindow.popToDeviceMenu);
    }
    function succeed() {
        endApply();
        // The page leaves the stack below: take what is needed first.
        var stack = panel.StackView.view;
        var page = appPage;
        var messageDialog = dialog;
        var lacksData = isPlayback && presenceFamily
                && !Settings.hasRequiredDataTypes(appName, device.playbackDataTypes);
        var missingDataText = Settings.missingDataText;
        if (stack) {
            if (initial) {
                stack.pop(StackView.Immediate);
                stack.push(page);
            } else {
                stack.pop();
            }
        }
        if (lacksData)
            messageDialog.open("Info", missingDataText);
    }

    StackView.onActivating: load()

    Connections {
        target: typeof deviceManager !== "undefined" ? deviceManager : null
        ignoreUnknownSignals: true
        function onActiveDeviceRecovered(ok) {
            panel.recovered(ok);
        }
    }

    Text {
        id: heading
        objectName: "settingsHeading"
        anchors.top: parent.top
        anchors.topMargin: applicationWindow.innerMargin
        anchors.horizontalCenter: parent.horizontalCenter
        text: Settings.heading(panel.appName)
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: applicationWindow.fontSizeMedium
        font.bold: true
    }

    StyledScrollView {
        id: scroll
        objectName: "settingsScroll"
        anchors.top: heading.bottom
        anchors.topMargin: applicationWindow.innerMargin
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: buttons.top
        anchors.leftMargin: applicationWindow.marginSmall
        anchors.rightMargin: applicationWindow.marginSmall
        anchors.bottomMargin: applicationWindow.marginMini

        Column {
            // Clear of the scroll bar.
            width: scroll.availableWidth - 14
            spacing: applicationWindow.innerMargin

            Column {
                id: sectionColumn
                width: parent.width
                spacing: applicationWindow.innerMargin
            }
            StyledButton {
                objectName: "advancedButton"
                text: panel.advancedShown ? Settings.hideAdvancedText : Settings.advancedText
                onClicked: panel.advancedShown = !panel.advancedShown
            }
            Column {
                objectName: "advancedSettings"
                width: parent.width
                spacing: 8
                visible: panel.advancedShown

                SettingsLabel { text: Settings.splitSizeText }
                StyledTriSwitch {
                    id: splitUnitSwitch
                    objectName: "splitUnitSwitch"
                    width: parent.width
                    labels: Settings.splitUnitLabels
                    value: Settings.defaultSplitUnit
                }
                StyledSlider {
                    id: splitSizeSlider
                    objectName: "splitSizeSlider"
                    width: parent.width
                    from: Settings.splitSizeRange.from
                    to: Settings.splitSizeRange.to
                    stepSize: Settings.splitSizeRange.step
                    snapMode: Slider.SnapAlways
                    value: Settings.splitSizeRange.fallback
                    type: Settings.splitUnitLabels[splitUnitSwitch.currentIndex]
                }
                SettingsLabel { text: Settings.settingsFileText }
                TextEdit {
                    objectName: "settingsFileName"
                    width: parent.width
                    readOnly: true
                    selectByMouse: true
                    wrapMode: TextEdit.WrapAnywhere
                    text: panel.device ? panel.device.settingsFileName() : ""
                    color: Global.colorSecondaryLightGrey
                    selectionColor: Global.colorSecondaryBlue
                    font.family: Global.fontFamily
                    font.pixelSize: 13
                }
            }
        }
    }

    Row {
        id: buttons
        anchors.bottom: parent.bottom
        anchors.bottomMargin: applicationWindow.innerMargin
        anchors.horizontalCenter: parent.horizontalCenter
        spacing: applicationWindow.innerMargin

        StyledButton {
            objectName: "defaultsButton"
            text: Settings.defaultsText
            enabled: !panel.applying
            onClicked: panel.resetToDefaults()
        }
        StyledButton {
            objectName: "applyButton"
            text: Settings.applyText
            isDefault: true
            enabled: !spinner.shown && !panel.applying
            onClicked: panel.apply()
        }
    }
}
