// A transparent rounded frame with a white border.
import QtQuick 2.15
import "../js/global.js" as Global

Rectangle {
    color: "transparent"
    radius: 10
    border.color: Global.colorPrimaryWhite
    border.width: 2
}
