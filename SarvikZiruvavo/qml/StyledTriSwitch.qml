// A slider over a few named positions, 0 to the number of labels - 1 in steps
// of 1; the label of the current position is drawn bold.
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/global.js" as Global

Item {
    id: triSwitch

    property var labels: ["Off", "Simple", "Full"]
    property alias value: slider.value
    property alias pressed: slider.pressed
    readonly property int currentIndex: Math.round(slider.value)

    implicitWidth: 240
    implicitHeight: slider.implicitHeight + names.implicitHeight

    Slider {
        id: slider
        width: parent.width
        from: 0
        to: Math.max(1, triSwitch.labels.length - 1)
        stepSize: 1
        snapMode: Slider.SnapAlways
        enabled: triSwitch.enabled

        background: Rectangle {
            x: slider.leftPadding
            y: slider.topPadding + slider.availableHeight / 2 - height / 2
            width: slider.availableWidth
            height: 4
            radius: 2
            color: Global.colorSecondaryDarkGrey
        }
        handle: Rectangle {
            x: slider.leftPadding + slider.visualPosition * (slider.availableWidth - width)
            y: slider.topPadding + slider.availableHeight / 2 - height / 2
            width: 22
            height: 22
            radius: 11
            color: slider.pressed ? Global.colorSecondaryLightGrey : Global.colorPrimaryWhite
        }
    }
    Item {
        id: names
        anchors.top: slider.bottom
        x: slider.leftPadding
        width: slider.availableWidth
        implicitHeight: 20
        Repeater {
            model: triSwitch.labels
            Text {
                objectName: "triSwitchLabel" + index
                // Centred under its position, but kept within the switch.
                x: Math.max(-names.x, Math.min(triSwitch.width - names.x - width,
                                               (triSwitch.labels.length > 1 ? index / (triSwitch.labels.length - 1) : 0)
                                               * names.width - width / 2))
                text: modelData
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 13
                font.bold: index === triSwitch.currentIndex
            }
        }
    }
}
