// The top bar's arrow back to the previous page.
import QtQuick 2.15
import "../js/shell.js" as Shell

Item {
    id: backArrow

    property color color: "#FFFFFF"
    property alias pressed: mouse.pressed

    signal clicked

    implicitWidth: 60
    implicitHeight: 60

    Text {
        anchors.centerIn: parent
        text: Shell.glyphBackArrow
        color: backArrow.color
        opacity: mouse.pressed ? 0.6 : 1
        font.family: Shell.iconFontFamily
        font.pixelSize: parent.height * 0.8
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        enabled: backArrow.enabled
        onClicked: backArrow.clicked()
    }
}
