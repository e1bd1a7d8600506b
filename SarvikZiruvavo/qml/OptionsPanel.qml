// The control panel at the bottom of every application page: the signal
// legend, the buttons that show and hide the detail windows, the record
// button, the settings button, and the drawer with the module's noise-map
// commands and the sleep-analysis display switch.
//
// The page hands its detail windows in (basebandWindow, pulseDopplerWindow,
// movementWindow). The baseband and pulse-Doppler windows first take the
// main window's size and go beside it, on the side with more room, unless
// the user has moved them since; the movement window takes the main window's
// width and half its height.
import QtQuick 2.15
import QtQuick.Window 2.15
import "../js/global.js" as Global
import "../js/controls.js" as Controls

Item {
    id: optionsPanel

    property string settingsUrl: ""
    property bool presence: false
    property var signalQuality: "N/A"
    property bool showSignalInfo: true
    property bool showBaseband: true
    property bool showPulseDoppler: true
    property bool showMovement: true
    property bool showOptions: true
    property var basebandWindow: null
    property var pulseDopplerWindow: null
    property var movementWindow: null
    // Where the drawer opens: the page the panel stands on.
    property Item drawerArea: parent

    readonly property QtObject device: typeof deviceManager !== "undefined" && deviceManager
                                       ? deviceManager.activeDevice : null
    readonly property QtObject app: device ? device.activeDeviceApp : null
    readonly property bool isZ7Device: !!device && device.isZ7Device === true
    readonly property bool recording: !!app && app.recordingEnabled === true
    readonly property bool drawerOpen: drawer.open
    property bool loadRunning: false
    property bool storeRunning: false
    property bool deleteRunning: false

    function resetCharts() {
        if (movementWindow && typeof movementWindow.resetCharts === "function")
            movementWindow.resetCharts();
    }
    function toggleRecording() {
        if (app)
            app.recordingEnabled = !app.recordingEnabled;
    }
    function openSettings() {
        if (settingsUrl !== "" && !applicationWindow.navigationLocked)
            applicationWindow.pageStack.push(settingsUrl);
    }
    function openDrawer() {
        drawer.open = true;
    }
    function closeDrawer() {
        drawer.open = false;
    }

    // Runs a noise-map command (load, store or delete) of the device and
    // tells its result; its button is disabled while it runs.
    function runNoiseMapCommand(name) {
        var running = name + "Running";
        if (optionsPanel[running])
            return;
        optionsPanel[running] = true;
        var ok = !!device && device[name + "NoiseMap"]() === true;
        optionsPanel[running] = false;
        var result = Controls.commandResult(ok);
        dialog.open(result[0], result[1]);
    }

    // -- detail windows

    // Per window: when it last showed, whether the user moved it since, on
    // which side it was put, whether it has its first size.
    property var placements: ({})
    function windowOf(kind) {
        return kind === "baseband" ? basebandWindow : kind === "pulseDoppler" ? pulseDopplerWindow : movementWindow;
    }
    function placementOf(kind) {
        if (!placements[kind])
            placements[kind] = { "shownAt": 0, "userMoved": false, "right": false, "sized": false, "placing": false };
        return placements[kind];
    }
    function mainRect() {
        var main = Window.window;
        return { "x": main.x, "y": main.y, "width": main.width, "height": main.height };
    }
    function desktopRect() {
        return { "x": Screen.virtualX, "y": Screen.virtualY, "width": Screen.desktopAvailableWidth,
                 "height": Screen.desktopAvailableHeight };
    }
    function showWindow(kind) {
        var win = windowOf(kind);
        var main = Window.window;
        if (!win || !main)
            return;
        var record = placementOf(kind);
        record.placing = true;
        if (!record.sized) {
            var size = Controls.detailWindowSize(kind, mainRect(), main.minimumWidth, main.minimumHeight);
            win.width = size.width;
            win.height = size.height;
            record.sized = true;
        }
        if (kind !== "movement" && !record.userMoved) {
            var other = kind === "baseband" ? "pulseDoppler" : "baseband";
            var otherWindow = windowOf(other);
            var otherRecord = placements[other];
            var otherSitsRight = !!otherWindow && otherWindow.visible && !!otherRecord && otherRecord.right
                    && !otherRecord.userMoved;
            var place = Controls.detailWindowPlace(mainRect(), desktopRect(), { "width": win.width,
                                                                                "height": win.height },
                                                   otherSitsRight);
            win.x = place.x;
            win.y = place.y;
            record.right = place.right;
        }
        record.shownAt = Date.now();
        win.visible = true;
        record.placing = false;
    }
    function toggleWindow(kind) {
        var win = windowOf(kind);
        if (!win)
            return;
        if (win.visible)
            win.visible = false;
        else
            showWindow(kind);
    }
    function windowMoved(kind) {
        var win = windowOf(kind);
        var record = placements[kind];
        if (!win || !record || record.placing || !win.visible)
            return;
        if (Controls.isUserMove(record.shownAt, Date.now()))
            record.userMoved = true;
    }
    function userMovedWindow(kind) {
        return !!placements[kind] && placements[kind].userMoved;
    }

    Connections {
        target: optionsPanel.basebandWindow
        ignoreUnknownSignals: true
        function onXChanged() { optionsPanel.windowMoved("baseband"); }
        function onYChanged() { optionsPanel.windowMoved("baseband"); }
    }
    Connections {
        target: optionsPanel.pulseDopplerWindow
        ignoreUnknownSignals: true
        function onXChanged() { optionsPanel.windowMoved("pulseDoppler"); }
        function onYChanged() { optionsPanel.windowMoved("pulseDoppler"); }
    }

    // A recording that fails is told, and the record button stops.
    Connections {
        target: optionsPanel.app
        ignoreUnknownSignals: true
        function onRecordingError(error) {
            dialog.open("Error", Controls.recordingErrorText(error));
            if (optionsPanel.app)
                optionsPanel.app.recordingEnabled = false;
        }
    }

    implicitHeight: content.implicitHeight
    implicitWidth: content.implicitWidth

    Column {
        id: content
        width: parent.width
        spacing: 8

        Row {
            objectName: "legend"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: optionsPanel.showSignalInfo
            spacing: 16

            Text {
                objectName: "signalQualityText"
                anchors.verticalCenter: parent.verticalCenter
                text: Controls.signalQualityText(optionsPanel.signalQuality)
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 13
            }
            Repeater {
                model: Controls.legendKeys(optionsPanel.presence)
                Row {
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 6
                    Rectangle {
                        anchors.verticalCenter: parent.verticalCenter
                        width: 14
                        height: 14
                        border.color: Global.colorPrimaryWhite
                        border.width: 1
                        color: index === 0 ? (optionsPanel.presence ? Global.colorSecondaryPurple
                                                                    : Global.colorSecondaryBlue)
                                           : Global.colorSecondaryOrange
                    }
                    Text {
                        objectName: "legendKey" + index
                        text: modelData
                        color: Global.colorPrimaryWhite
                        font.family: Global.fontFamily
                        font.pixelSize: 13
                    }
                }
            }
        }

        Row {
            objectName: "controlButtons"
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: 12

            PanelButton {
                objectName: "optionsButton"
                anchors.bottom: parent.bottom
                visible: optionsPanel.isZ7Device && optionsPanel.showOptions
                icon: Controls.glyphOptions
                text: "Options"
                active: drawer.open
                onClicked: optionsPanel.openDrawer()
            }
            PanelButton {
                objectName: "pulseDopplerButton"
                anchors.bottom: parent.bottom
                visible: optionsPanel.isZ7Device && optionsPanel.showPulseDoppler
                icon: Controls.glyphPulseDoppler
                text: "Pulse-Doppler"
                active: !!optionsPanel.pulseDopplerWindow && optionsPanel.pulseDopplerWindow.visible
                onClicked: optionsPanel.toggleWindow("pulseDoppler")
            }
            PanelButton {
                objectName: "basebandButton"
                anchors.bottom: parent.bottom
                visible: optionsPanel.showBaseband
                icon: Controls.glyphBaseband
                text: "Baseband"
                active: !!optionsPanel.basebandWindow && optionsPanel.basebandWindow.visible
                onClicked: optionsPanel.toggleWindow("baseband")
            }
            PanelButton {
                objectName: "movementButton"
                anchors.bottom: parent.bottom
                visible: optionsPanel.showMovement
                icon: Controls.glyphMovement
                text: "Movement"
                active: !!optionsPanel.movementWindow && optionsPanel.movementWindow.visible
                onClicked: optionsPanel.toggleWindow("movement")
            }
            IconButton {
                objectName: "recordButton"
                anchors.bottom: parent.bottom
                iconSize: 40
                iconSource: Controls.recordButtonIcon(optionsPanel.recording)
                label: Controls.recordButtonText(optionsPanel.recording)
                font.pixelSize: 12
                onClicked: optionsPanel.toggleRecording()
            }
            IconButton {
                objectName: "settingsButton"
                anchors.bottom: parent.bottom
                iconSize: 40
                iconSource: Controls.settingsIcon
                label: Controls.settingsText
                font.pixelSize: 12
                onClicked: optionsPanel.openSettings()
            }
        }
    }

    // The drawer: modal over the page, sliding in from the left.
    Item {
        id: drawer
        objectName: "noiseMapDrawer"

        property bool open: false

        parent: optionsPanel.drawerArea ? optionsPanel.drawerArea : optionsPanel
        anchors.fill: parent
        z: 100
        visible: open || drawerPanel.x > -drawerPanel.width

        Rectangle {
            anchors.fill: parent
            color: "#000000"
            opacity: drawer.open ? 0.5 : 0
            Behavior on opacity {
                NumberAnimation { duration: 200 }
            }
        }
        MouseArea {
            anchors.fill: parent
            hoverEnabled: true
            acceptedButtons: Qt.AllButtons
            onClicked: optionsPanel.closeDrawer()
            onWheel: wheel.accepted = true
        }
        Rectangle {
            id: drawerPanel
            objectName: "drawerPanel"
            width: Math.min(drawer.width * 0.8, 420)
            height: drawer.height
            x: drawer.open ? 0 : -width
            color: Global.colorSecondaryPurple
            border.color: Global.colorPrimaryWhite
            border.width: 1
            Behavior on x {
                NumberAnimation { duration: 250; easing.type: Easing.OutCubic }
            }
            // Clicks on the panel stay on it.
            MouseArea {
                anchors.fill: parent
                acceptedButtons: Qt.AllButtons
            }

            Column {
                anchors.fill: parent
                anchors.margins: 20
                spacing: 14

                SettingsSectionHeader {
                    width: parent.width
                    text: Controls.noiseMapTitle
                }
                Text {
                    width: parent.width
                    text: Controls.noiseMapText
                    wrapMode: Text.Wrap
                    color: Global.colorPrimaryWhite
                    font.family: Global.fontFamily
                    font.pixelSize: 14
                }
                Row {
                    spacing: 10
                    StyledButton {
                        objectName: "loadNoiseMapButton"
                        text: "Load"
                        enabled: !optionsPanel.loadRunning
                        onClicked: optionsPanel.runNoiseMapCommand("load")
                    }
                    StyledButton {
                        objectName: "storeNoiseMapButton"
                        text: "Store"
                        enabled: !optionsPanel.storeRunning
                        onClicked: optionsPanel.runNoiseMapCommand("store")
                    }
                    StyledButton {
                        objectName: "deleteNoiseMapButton"
                        text: "Delete"
                        enabled: !optionsPanel.deleteRunning
                        onClicked: optionsPanel.runNoiseMapCommand("delete")
                    }
                }
                Column {
                    objectName: "sleepAnalysisOptions"
                    width: parent.width
                    spacing: 10
                    visible: typeof deviceManager !== "undefined" && !!deviceManager
                             && deviceManager.hasSleepAnalysisPlugin === true && !!optionsPanel.app
                             && (optionsPanel.app.appName === "Adult Respiration"
                                 || optionsPanel.app.appName === "Baby Respiration")
                             && !!optionsPanel.device && optionsPanel.device.supportsVitalSignsData === true

                    SettingsSectionHeader {
                        width: parent.width
                        text: Controls.sleepAnalysisTitle
                    }
                    Text {
                        objectName: "hypnogramChoiceText"
                        width: parent.width
                        text: optionsPanel.app ? Controls.hypnogramChoiceText(optionsPanel.app.movementSlowFastHistory)
                                               : ""
                        wrapMode: Text.Wrap
                        color: Global.colorPrimaryWhite
                        font.family: Global.fontFamily
                        font.pixelSize: 14
                    }
                    StyledTriSwitch {
                        id: hypnogramSwitch
                        objectName: "hypnogramSwitch"
                        width: parent.width
                        labels: Controls.hypnogramChoiceLabels
                        value: optionsPanel.app && optionsPanel.app.showFullHypnogram === false ? 1 : 0
                        onCurrentIndexChanged: {
                            if (optionsPanel.app && optionsPanel.app.showFullHypnogram !== (currentIndex === 0))
                                optionsPanel.app.showFullHypnogram = currentIndex === 0;
                        }
                    }
                }
                StyledButton {
                    objectName: "closeDrawerButton"
                    text: "Close"
                    onClicked: optionsPanel.closeDrawer()
                }
            }
        }
    }
}
