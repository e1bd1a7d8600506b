// A round button showing one character of the icon font.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/shell.js" as Shell

Rectangle {
    id: characterButton

    property string character: ""
    property color textColor: Global.colorPrimaryWhite
    property alias pressed: mouse.pressed

    signal clicked

    implicitWidth: 44
    implicitHeight: 44
    radius: width / 2
    color: mouse.pressed ? Qt.darker(Global.colorSecondaryPurple, 1.1) : "transparent"
    border.color: textColor
    border.width: 2

    Text {
        anchors.centerIn: parent
        text: characterButton.character
        color: characterButton.textColor
        font.family: Shell.iconFontFamily
        font.pixelSize: characterButton.height / 2
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        enabled: characterButton.enabled
        onClicked: characterButton.clicked()
    }
}
