// An image with a label below it.
import QtQuick 2.15
import "../js/global.js" as Global

Item {
    id: iconButton

    property alias iconSource: icon.source
    property real iconScale: 1
    property alias label: caption.text
    property alias font: caption.font
    property real iconSize: 75

    signal clicked

    implicitWidth: Math.max(iconSize * iconScale, caption.implicitWidth)
    implicitHeight: iconSize * iconScale + caption.implicitHeight + 8

    Image {
        id: icon
        anchors.horizontalCenter: parent.horizontalCenter
        width: iconButton.iconSize * iconButton.iconScale
        height: width
        sourceSize.width: width
        sourceSize.height: height
        fillMode: Image.PreserveAspectFit
        opacity: mouse.pressed ? 0.6 : 1
    }
    Text {
        id: caption
        anchors.top: icon.bottom
        anchors.topMargin: 8
        width: parent.width
        horizontalAlignment: Text.AlignHCenter
        wrapMode: Text.Wrap
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: 14
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        enabled: iconButton.enabled
        onClicked: iconButton.clicked()
    }
}
