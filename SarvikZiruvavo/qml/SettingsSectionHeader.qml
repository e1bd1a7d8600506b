// A section title between two thin lines.
import QtQuick 2.15
import "../js/global.js" as Global

Item {
    id: header

    property alias text: title.text

    implicitWidth: title.implicitWidth + 40
    implicitHeight: title.implicitHeight + 24

    Rectangle {
        anchors.top: parent.top
        width: parent.width
        height: 1
        color: Global.colorSecondaryLightGrey
    }
    Text {
        id: title
        anchors.centerIn: parent
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: 16
        font.bold: true
    }
    Rectangle {
        anchors.bottom: parent.bottom
        width: parent.width
        height: 1
        color: Global.colorSecondaryLightGrey
    }
}
