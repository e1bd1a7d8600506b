// An icon-font glyph above a text; active highlights it.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/shell.js" as Shell

Item {
    id: panelButton

    property string icon: ""
    property string text: ""
    property bool active: false

    signal clicked

    readonly property color tint: !enabled ? Global.colorSecondaryDarkGrey
                                           : active ? Global.colorSecondaryCyan : Global.colorPrimaryWhite

    implicitWidth: Math.max(64, caption.implicitWidth + 8)
    implicitHeight: glyph.implicitHeight + caption.implicitHeight + 4

    Text {
        id: glyph
        anchors.horizontalCenter: parent.horizontalCenter
        text: panelButton.icon
        color: panelButton.tint
        font.family: Shell.iconFontFamily
        font.pixelSize: 28
        opacity: mouse.pressed ? 0.6 : 1
    }
    Text {
        id: caption
        anchors.top: glyph.bottom
        anchors.topMargin: 4
        anchors.horizontalCenter: parent.horizontalCenter
        text: panelButton.text
        color: panelButton.tint
        font.family: Global.fontFamily
        font.pixelSize: 12
    }
    MouseArea {
        id: mouse
        anchors.fill: parent
        enabled: panelButton.enabled
        onClicked: panelButton.clicked()
    }
}
