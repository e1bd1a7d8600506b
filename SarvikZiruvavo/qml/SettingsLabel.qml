// The name of a setting, above its widget.
import QtQuick 2.15
import "../js/global.js" as Global

Text {
    width: parent ? parent.width : implicitWidth
    color: enabled ? Global.colorPrimaryWhite : Global.colorSecondaryDarkGrey
    font.family: Global.fontFamily
    font.pixelSize: 15
    wrapMode: Text.Wrap
}
