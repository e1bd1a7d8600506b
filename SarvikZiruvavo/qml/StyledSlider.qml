// A slider whose label shows its value with fixed decimals and, when type is
// not empty, a space and the unit.
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/global.js" as Global
import "../js/widgets.js" as Widgets

Slider {
    id: slider

    property int fixed: 0
    property string type: ""
    readonly property string labelText: Widgets.sliderLabel(value, fixed, type)

    implicitHeight: 56
    topPadding: 24

    background: Rectangle {
        x: slider.leftPadding
        y: slider.topPadding + slider.availableHeight / 2 - height / 2
        width: slider.availableWidth
        height: 4
        radius: 2
        color: Global.colorSecondaryDarkGrey
        Rectangle {
            width: slider.visualPosition * parent.width
            height: parent.height
            radius: 2
            color: Global.colorSecondaryCyan
        }
    }
    handle: Rectangle {
        x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
        y: slider.topPadding + slider.availableHeight / 2 - height / 2
        width: 22
        height: 22
        radius: 11
        color: slider.pressed ? Global.colorSecondaryLightGrey : Global.colorPrimaryWhite
        Text {
            anchors.bottom: parent.top
            anchors.bottomMargin: 4
            anchors.horizontalCenter: parent.horizontalCenter
            text: slider.labelText
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 13
        }
    }
}
