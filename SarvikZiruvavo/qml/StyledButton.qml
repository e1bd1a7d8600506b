// A push button in the window style; the default button of a group is filled
// darker. Pressed, it is drawn 1.1 times darker.
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/global.js" as Global

Button {
    id: button

    property bool isDefault: false
    readonly property color fillColor: isDefault ? Global.colorPrimaryPurple : Global.colorSecondaryPurple

    font.family: Global.fontFamily
    font.pixelSize: 16
    padding: 12

    contentItem: Text {
        text: button.text
        font: button.font
        color: button.enabled ? Global.colorPrimaryWhite : Global.colorSecondaryDarkGrey
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    background: Rectangle {
        implicitWidth: 120
        implicitHeight: 44
        radius: 4
        color: button.down ? Qt.darker(button.fillColor, 1.1) : button.fillColor
        border.color: button.enabled ? Global.colorPrimaryWhite : Global.colorSecondaryDarkGrey
        border.width: 1
    }
}
