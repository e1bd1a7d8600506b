// A choice between a few named options, side by side: the chosen one is
// drawn bold and underlined; a click on another one emits chosen(index).
import QtQuick 2.15
import "../js/global.js" as Global

Row {
    id: choice

    property var labels: []
    property int currentIndex: 0

    signal chosen(int index)

    spacing: 12

    Repeater {
        model: choice.labels
        Text {
            objectName: "choice_" + modelData
            text: modelData
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 12
            font.bold: index === choice.currentIndex
            font.underline: index === choice.currentIndex
            MouseArea {
                anchors.fill: parent
                anchors.margins: -4
                onClicked: {
                    if (index !== choice.currentIndex)
                        choice.chosen(index);
                }
            }
        }
    }
}
