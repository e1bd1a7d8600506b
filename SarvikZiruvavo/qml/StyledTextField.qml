// A text field in the window style.
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/global.js" as Global

TextField {
    id: field

    color: Global.colorPrimaryWhite
    placeholderTextColor: Global.colorSecondaryLightGrey
    selectionColor: Global.colorSecondaryBlue
    selectedTextColor: Global.colorPrimaryWhite
    font.family: Global.fontFamily
    font.pixelSize: 14

    background: Rectangle {
        implicitWidth: 200
        implicitHeight: 40
        radius: 4
        color: "transparent"
        border.color: field.activeFocus ? Global.colorSecondaryCyan : Global.colorPrimaryWhite
        border.width: 1
    }
}
