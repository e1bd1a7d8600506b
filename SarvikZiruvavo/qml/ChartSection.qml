// A collapsible chart section with its title and, on the right, the current
// value (taken over on the display ticks); the chart (or charts) fill the
// rest.
import QtQuick 2.15
import "../js/global.js" as Global

CollapsibleLayoutItem {
    id: section

    property string valueText: ""
    property string shownValueText: ""
    property bool valueVisible: true
    default property alias chartContent: area.data

    Text {
        id: title
        objectName: "sectionTitle"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.margins: 4
        text: section.description
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: 13
        font.bold: true
    }
    Text {
        objectName: "sectionValue"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.topMargin: 4
        anchors.rightMargin: 34
        visible: section.valueVisible && text !== ""
        text: section.shownValueText
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: 13
        font.bold: true
    }
    DisplayTicker {
        running: section.visible && section.shownValueText !== section.valueText
        onTick: section.shownValueText = section.valueText
    }
    Item {
        id: area
        anchors.top: title.bottom
        anchors.topMargin: 4
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
    }
}
