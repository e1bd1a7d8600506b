// A check box that does not flip itself: a click emits clicked, and the owner
// flips the property that checked is bound to.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/shell.js" as Shell

Item {
    id: option

    property string text: ""
    property bool checked: false

    signal clicked

    implicitWidth: box.width + 10 + caption.implicitWidth
    implicitHeight: Math.max(box.height, caption.implicitHeight)
    opacity: enabled ? 1 : 0.5

    Rectangle {
        id: box
        anchors.verticalCenter: parent.verticalCenter
        width: 24
        height: 24
        radius: 3
        color: "transparent"
        border.color: Global.colorPrimaryWhite
        border.width: 2
        Text {
            anchors.centerIn: parent
            visible: option.checked
            text: "\uf00c"
            color: Global.colorPrimaryWhite
            font.family: Shell.iconFontFamily
            font.pixelSize: 16
        }
    }
    Text {
        id: caption
        anchors.left: box.right
        anchors.leftMargin: 10
        anchors.right: parent.right
        anchors.verticalCenter: parent.verticalCenter
        text: option.text
        wrapMode: Text.Wrap
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: 14
    }
    MouseArea {
        anchors.fill: parent
        enabled: option.enabled
        onClicked: option.clicked()
    }
}
