// A chart section in a column: the sections share the column's height
// equally; the minus in the top right corner collapses one to a bar with a
// plus and its description, a click on the bar expands it again. Collapsed,
// its content keeps running, only hidden.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/shell.js" as Shell

Item {
    id: section

    property string description: ""
    property bool collapsed: false
    property real barHeight: 36
    // The height a section may take when expanded: the column's.
    property real expandedHeight: parent ? parent.height : 400
    default property alias content: body.data

    Layout.fillWidth: true
    Layout.fillHeight: true
    Layout.preferredHeight: 1
    Layout.maximumHeight: collapsed ? barHeight : expandedHeight
    Behavior on Layout.maximumHeight {
        NumberAnimation { duration: 250; easing.type: Easing.InOutQuad }
    }
    clip: true

    Item {
        id: body
        anchors.fill: parent
        visible: !section.collapsed
    }
    Text {
        objectName: "collapseButton"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 6
        visible: !section.collapsed
        text: "\uf068"
        color: Global.colorPrimaryWhite
        font.family: Shell.iconFontFamily
        font.pixelSize: 18
        MouseArea {
            anchors.fill: parent
            anchors.margins: -8
            onClicked: section.collapsed = true
        }
    }
    Rectangle {
        objectName: "expandBar"
        width: parent.width
        height: section.barHeight
        visible: section.collapsed
        color: Qt.lighter(Global.colorSecondaryPurple, 1.3)
        Text {
            id: plus
            anchors.left: parent.left
            anchors.leftMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            text: "\uf067"
            color: Global.colorPrimaryWhite
            font.family: Shell.iconFontFamily
            font.pixelSize: 16
        }
        Text {
            anchors.left: plus.right
            anchors.leftMargin: 10
            anchors.verticalCenter: parent.verticalCenter
            text: section.description
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 14
        }
        MouseArea {
            anchors.fill: parent
            onClicked: section.collapsed = false
        }
    }
}
