// The labels under a chart: ticks is a list of {position, label}, position 0
// to 1 from the left. A label is kept inside the row.
import QtQuick 2.15
import "../js/global.js" as Global

Item {
    id: tickRow

    property var ticks: []
    property color color: Global.colorSecondaryLightGrey

    implicitHeight: 16

    Repeater {
        model: tickRow.ticks
        Text {
            objectName: "tickLabel" + index
            x: Math.max(0, Math.min(tickRow.width - width, modelData.position * tickRow.width - width / 2))
            anchors.verticalCenter: parent.verticalCenter
            text: modelData.label
            color: tickRow.color
            font.family: Global.fontFamily
            font.pixelSize: 11
        }
    }
}
