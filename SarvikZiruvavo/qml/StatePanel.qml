// The state panel at the top of an application page: the application's state
// as text (with breaths per minute and distance, or the progress, on the
// respiration pages), a turning glyph while the module initializes (presence
// and adult pages) and the frame counter otherwise. While the application has
// lost its module the panel asks the device to reconnect every 2 s; a
// reconnect still running when the next one is due (the device waits for the
// module in a nested event loop, in which the timer keeps firing) is not
// joined by another.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/shell.js" as Shell
import "../js/pages.js" as Pages

Item {
    id: panel

    // "presence", "respiration" or "adult".
    property string family: "presence"
    property QtObject app: null
    property QtObject device: typeof deviceManager !== "undefined" && deviceManager ? deviceManager.activeDevice
                                                                                    : null
    readonly property var appState: app ? app.state : undefined
    readonly property string stateText: app ? Pages.stateText(family, appState) : Pages.undefinedText
    readonly property string detailText: app && family === "respiration"
                                         ? Pages.respirationDetailText(appState, app.rpm, app.objectDistance) : ""
    readonly property bool initializing: !!app && Pages.isInitializing(family, appState)
    readonly property bool spinning: initializing && family !== "respiration"
    readonly property bool noConnection: !!app && Pages.isNoConnection(family, appState)
    readonly property alias reconnecting: reconnectTimer.reconnecting
    readonly property alias reconnectRunning: reconnectTimer.running
    // The frame counter as shown: taken over on the display ticks.
    property int shownFrameCounter: 0
    readonly property int frameCounter: app ? app.frameCounter : 0

    // One reconnect, unless one runs already.
    function reconnectTick() {
        if (reconnectTimer.reconnecting || !device)
            return;
        reconnectTimer.reconnecting = true;
        console.log(Pages.reconnectText);
        try {
            device.tryReconnect();
        } finally {
            reconnectTimer.reconnecting = false;
        }
    }

    implicitHeight: column.implicitHeight + 16

    Column {
        id: column
        anchors.centerIn: parent
        spacing: 4

        Text {
            objectName: "stateText"
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            text: panel.stateText
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 26
            font.bold: true
        }
        Text {
            objectName: "detailText"
            anchors.horizontalCenter: parent.horizontalCenter
            horizontalAlignment: Text.AlignHCenter
            visible: text !== ""
            text: panel.detailText
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 18
        }
        Text {
            objectName: "initializingGlyph"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: panel.spinning
            text: Shell.glyphSpinner
            color: Global.colorPrimaryWhite
            font.family: Shell.iconFontFamily
            font.pixelSize: 22
            NumberAnimation on rotation {
                from: 0
                to: 360
                duration: 1000
                loops: Animation.Infinite
                running: panel.spinning
            }
        }
        Text {
            objectName: "frameText"
            anchors.horizontalCenter: parent.horizontalCenter
            visible: !panel.spinning
            text: Pages.frameText(panel.shownFrameCounter)
            color: Global.colorSecondaryLightGrey
            font.family: Global.fontFamily
            font.pixelSize: 13
        }
    }

    DisplayTicker {
        running: panel.visible && panel.shownFrameCounter !== panel.frameCounter
        onTick: panel.shownFrameCounter = panel.frameCounter
    }
    Timer {
        id: reconnectTimer
        objectName: "reconnectTimer"
        property bool reconnecting: false
        interval: Pages.reconnectInterval
        repeat: true
        running: panel.noConnection && !!panel.device
        onTriggered: panel.reconnectTick()
    }
}
