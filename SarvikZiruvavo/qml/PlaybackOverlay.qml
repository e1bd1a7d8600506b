// Covers settings that a recording fixes: they show, but take no input.
import QtQuick 2.15
import "../js/global.js" as Global

Rectangle {
    anchors.fill: parent
    color: Global.colorSecondaryPurple
    opacity: 0.5
    z: 10

    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
        preventStealing: true
        onWheel: wheel.accepted = false
    }
}
