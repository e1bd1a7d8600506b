// The main window: the top bar, the page stack that starts at the device
// menu, and the overlays every page may use: splash, spinner, the message
// dialog, the help panel and the new-version dialog. The pages reach the
// window's metrics through applicationWindow and the overlays by their ids.
import QtQuick 2.15
import QtQuick.Window 2.15
// Qualified: the message dialog, Dialog.qml, shares its name with a control.
import QtQuick.Controls 2.15 as Controls
import "../js/global.js" as Global
import "../js/shell.js" as Shell

Controls.ApplicationWindow {
    id: applicationWindow

    readonly property bool isDesktop: Shell.isDesktopOs(Qt.platform.os)
    readonly property real scaleFactor: Shell.scaleFactor(isDesktop, width, height)
    readonly property int fontSizeSmall: 14
    readonly property int fontSizeMedium: 20
    readonly property real marginMini: 10 * scaleFactor
    readonly property real innerMargin: 24 * scaleFactor
    readonly property real marginSmall: 35 * scaleFactor
    readonly property real marginMedium: 70 * scaleFactor
    readonly property real iconSize: 75 * scaleFactor
    readonly property bool inPageTransition: pageStack.busy

    // The device the pages show; null while none is chosen, or while the
    // program has no device manager.
    readonly property QtObject activeDevice: deviceManager ? deviceManager.activeDevice : null
    // True while a module is configured or upgraded: the page stack then
    // stays as it is, because the waiting code still uses what the pages show.
    readonly property bool navigationLocked: Shell.isNavigationLocked(spinner.shown, activeDevice)

    readonly property alias pageStack: pageStack

    // One page back, unless navigation is locked.
    function goBack() {
        if (navigationLocked || pageStack.depth <= 1)
            return false;
        pageStack.pop();
        return true;
    }
    // Back to the device menu, which releases the active device.
    function popToDeviceMenu() {
        if (navigationLocked)
            return false;
        if (pageStack.depth > 1)
            pageStack.pop(null);
        return true;
    }

    title: "Sarvik"
    visible: true
    color: Global.colorSecondaryPurple
    width: Shell.windowWidth(Screen.desktopAvailableWidth)
    height: Shell.windowHeight(Screen.desktopAvailableHeight)
    minimumWidth: Shell.minimumWidth(Screen.desktopAvailableWidth)
    minimumHeight: Shell.minimumHeight(Screen.desktopAvailableHeight)
    font.family: Global.fontFamily

    Item {
        id: topBar
        objectName: "topBar"
        width: parent.width
        height: Shell.topBarHeight(applicationWindow.scaleFactor)

        BackArrow {
            id: backArrow
            objectName: "backArrow"
            anchors.left: parent.left
            anchors.leftMargin: applicationWindow.marginMini
            anchors.verticalCenter: parent.verticalCenter
            height: parent.height * 0.6
            width: height
            visible: !(applicationWindow.activeDevice && applicationWindow.activeDevice.isDeviceUpgrading)
            color: Shell.backArrowColor(pageStack.depth)
            onClicked: applicationWindow.goBack()
        }
        Image {
            id: logo
            objectName: "logo"
            anchors.centerIn: parent
            source: "qrc:///images/sarvik_logo_flat.png"
            width: implicitWidth / 2
            height: implicitHeight / 2
            fillMode: Image.PreserveAspectFit
        }
        CharacterButton {
            id: helpButton
            objectName: "helpButton"
            anchors.right: parent.right
            anchors.rightMargin: applicationWindow.marginMini
            anchors.verticalCenter: parent.verticalCenter
            character: "\uf128"
            visible: !!pageStack.currentItem && typeof pageStack.currentItem.helpTitle === "string"
            onClicked: help.show(pageStack.currentItem.helpTitle,
                                 typeof pageStack.currentItem.helpText === "string" ? pageStack.currentItem.helpText : "")
        }
    }

    Controls.StackView {
        id: pageStack
        objectName: "pageStack"
        anchors.top: topBar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        clip: true
        focus: true
        initialItem: Qt.resolvedUrl("DeviceMenu.qml")

        pushEnter: Transition {
            NumberAnimation { property: "x"; from: pageStack.width; to: 0; duration: 400; easing.type: Easing.OutCubic }
        }
        pushExit: Transition {
            NumberAnimation { property: "x"; from: 0; to: -pageStack.width; duration: 400; easing.type: Easing.OutCubic }
        }
        popEnter: Transition {
            NumberAnimation { property: "x"; from: -pageStack.width; to: 0; duration: 400; easing.type: Easing.OutCubic }
        }
        popExit: Transition {
            NumberAnimation { property: "x"; from: 0; to: pageStack.width; duration: 400; easing.type: Easing.OutCubic }
        }

        onDepthChanged: Qt.inputMethod.hide()
        onCurrentItemChanged: {
            if (currentItem && currentItem.isDeviceMenu === true && deviceManager)
                deviceManager.clearActiveDevice();
        }
        Keys.onBackPressed: {
            event.accepted = true;
            if (applicationWindow.navigationLocked)
                return;
            if (depth > 1)
                pop();
            else
                Qt.quit();
        }
    }

    // The playback controls over the top of an application page, while the
    // active device plays a recording. The application page controls give it
    // its document (Playback.qml).
    Loader {
        id: playbackBar
        objectName: "playbackBar"
        anchors.top: topBar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        source: "Playback.qml"
        active: !!applicationWindow.activeDevice && applicationWindow.activeDevice.isPlaybackDevice === true
        visible: active && !!pageStack.currentItem
                 && (pageStack.currentItem.isZ7App === true || pageStack.currentItem.isDaxApp === true)
    }

    // Swallows input to the top bar and the pages while navigation is locked.
    MouseArea {
        objectName: "navigationLock"
        anchors.fill: parent
        enabled: applicationWindow.navigationLocked
        visible: enabled
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
        onWheel: wheel.accepted = true
    }

    Connections {
        target: deviceManager
        ignoreUnknownSignals: true
        function onUpgradeComplete() {
            dialog.open("Upgrade complete", "The module has been successfully upgraded.",
                        applicationWindow.popToDeviceMenu);
        }
        function onUpgradeFailed(reason) {
            dialog.open("Error", reason, applicationWindow.popToDeviceMenu);
        }
        function onNewVersionAvailable() {
            var check = deviceManager.onlineUpgrade;
            onlineupgradedialog.open("New version", check ? check.newVersion : "", check ? check.newDescription : "",
                                     check ? check.newWebpageUrl : "", applicationWindow.popToDeviceMenu);
        }
    }

    // The spinner follows the active application's initialisation.
    Connections {
        target: applicationWindow.activeDevice ? applicationWindow.activeDevice.activeDeviceApp : null
        ignoreUnknownSignals: true
        function onInitializing() {
            spinner.show();
        }
        function onInitialized(result, errorString) {
            var outcome = Shell.initializationOutcome(result);
            if (outcome === "wait")
                return;
            spinner.hide();
            if (outcome === "fail")
                dialog.open("Error", Shell.initializationErrorText(errorString === undefined ? "" : errorString),
                            applicationWindow.popToDeviceMenu);
        }
    }

    Spinner {
        id: spinner
        objectName: "spinner"
        anchors.fill: parent
    }
    HelpPanel {
        id: help
        objectName: "help"
        anchors.fill: parent
    }
    Dialog {
        id: dialog
        objectName: "dialog"
        anchors.fill: parent
        scaleFactor: applicationWindow.scaleFactor
    }
    OnlineUpgradeDialog {
        id: onlineupgradedialog
        objectName: "onlineupgradedialog"
        anchors.fill: parent
    }
    Splash {
        id: splash
        objectName: "splash"
        anchors.fill: parent
        scaleFactor: applicationWindow.scaleFactor
    }
}
