// What the detail windows share: a top-level window in the program's colours
// with a title bar of its own holding the frame text and a "?" button that
// opens the window's help panel. Its content goes below the bar.
import QtQuick 2.15
import QtQuick.Window 2.15
import "../js/global.js" as Global

Window {
    id: window

    property string helpTitle: title
    property string helpText: ""
    property string frameText: ""
    readonly property QtObject device: typeof deviceManager !== "undefined" && deviceManager
                                       ? deviceManager.activeDevice : null
    readonly property QtObject app: device ? device.activeDeviceApp : null
    default property alias content: body.data
    readonly property alias help: help

    visible: false
    color: Global.colorSecondaryPurple
    minimumWidth: 400
    minimumHeight: 300

    Item {
        id: bar
        width: parent.width
        height: 52
        Text {
            objectName: "frameText"
            anchors.left: parent.left
            anchors.leftMargin: 12
            anchors.verticalCenter: parent.verticalCenter
            text: window.frameText
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 16
        }
        CharacterButton {
            objectName: "windowHelpButton"
            anchors.right: parent.right
            anchors.rightMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            width: 36
            height: 36
            character: "\uf128"
            onClicked: help.show(window.helpTitle, window.helpText)
        }
    }
    Item {
        id: body
        anchors.top: bar.bottom
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: 8
    }
    HelpPanel {
        id: help
        objectName: "windowHelp"
        anchors.fill: parent
    }
}
