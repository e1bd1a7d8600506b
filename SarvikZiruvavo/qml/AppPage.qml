// What every application page shares: the state panel at the top, the column
// of chart sections, the control panel at the bottom, and the moments the
// charts start anew (chartsReset): on a recording, when the rate changes,
// when the user moves the position and when playback (re)starts; on a live
// module, when the application starts initializing or enters its
// initializing state. The column is hidden while another page covers this
// one.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

Item {
    id: page

    property string helpTitle: ""
    property string helpText: app && typeof app.swInfo === "string" ? app.swInfo : ""
    // The state panel's family ("presence", "respiration", "adult"), or ""
    // for none.
    property string stateFamily: ""
    readonly property QtObject device: typeof deviceManager !== "undefined" && deviceManager
                                       ? deviceManager.activeDevice : null
    readonly property QtObject app: device ? device.activeDeviceApp : null
    readonly property bool isPlayback: !!device && device.isPlaybackDevice === true
    readonly property bool initializing: !!app && stateFamily !== "" && Pages.isInitializing(stateFamily, app.state)
    readonly property bool active: !StackView.view || StackView.status !== StackView.Inactive
    default property alias sections: column.data
    readonly property alias column: column
    readonly property alias statePanel: statePanel
    property alias options: optionsPanel
    property alias topContent: top.data

    // Whether the page offers the detail windows (made when the page is).
    property bool detailWindows: true
    readonly property alias basebandWindow: optionsPanel.basebandWindow
    readonly property alias pulseDopplerWindow: optionsPanel.pulseDopplerWindow
    readonly property alias movementWindow: optionsPanel.movementWindow

    signal chartsReset

    function makeWindow(url, properties) {
        var component = Qt.createComponent(url);
        if (component.status !== Component.Ready) {
            console.warn(component.errorString());
            return null;
        }
        return component.createObject(page, properties || {});
    }
    Component.onCompleted: {
        if (!detailWindows)
            return;
        optionsPanel.basebandWindow = makeWindow("BasebandWindow.qml");
        if (device && device.isZ7Device === true)
            optionsPanel.pulseDopplerWindow = makeWindow("PulseDopplerWindow.qml");
        if (optionsPanel.showMovement)
            optionsPanel.movementWindow = makeWindow("MovementWindow.qml", { "stateFamily": stateFamily });
    }

    function resetCharts() {
        chartsReset();
        optionsPanel.resetCharts();
    }

    onInitializingChanged: {
        if (initializing && !isPlayback)
            resetCharts();
    }
    Connections {
        target: page.app
        ignoreUnknownSignals: true
        function onInitializing() {
            if (!page.isPlayback)
                page.resetCharts();
        }
    }
    Connections {
        target: page.isPlayback ? page.device : null
        ignoreUnknownSignals: true
        function onPlaybackRateChanged() {
            page.resetCharts();
        }
        function onPlaybackPositionUpdatedManually() {
            page.resetCharts();
        }
        function onPlaybackStateChanged() {
            if (page.device.playbackState === 1)
                page.resetCharts();
        }
    }

    StatePanel {
        id: statePanel
        objectName: "statePanel"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        height: visible ? implicitHeight : 0
        visible: page.stateFamily !== ""
        family: page.stateFamily === "" ? "presence" : page.stateFamily
        app: page.stateFamily !== "" ? page.app : null
    }
    Column {
        id: top
        anchors.top: statePanel.bottom
        anchors.left: parent.left
        anchors.right: parent.right
    }
    ColumnLayout {
        id: column
        objectName: "chartColumn"
        anchors.top: top.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: optionsPanel.top
        anchors.margins: 8
        spacing: 6
        visible: page.active
    }
    OptionsPanel {
        id: optionsPanel
        objectName: "optionsPanel"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 8
        height: implicitHeight
        drawerArea: page
    }
}
