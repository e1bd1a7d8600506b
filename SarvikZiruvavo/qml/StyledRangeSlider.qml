// A two-handle slider: a press takes the nearer handle, values snap to the
// step, and the handles stay at least minimumLength and at most
// maximumLength apart (0: no limit): a handle moved too close pushes the
// other along, one moved too far pulls it along; neither leaves the range.
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/global.js" as Global
import "../js/widgets.js" as Widgets

RangeSlider {
    id: rangeSlider

    property real minimumLength: 0
    property real maximumLength: 0
    property int fixed: 2
    property string type: ""

    property bool constraining: false

    function constrain(moved) {
        if (constraining)
            return;
        constraining = true;
        var range = Widgets.constrainRange(first.value, second.value, moved, from, to, stepSize,
                                           minimumLength, maximumLength);
        first.value = range[0];
        second.value = range[1];
        constraining = false;
    }

    snapMode: RangeSlider.SnapAlways
    implicitHeight: 56
    topPadding: 24
    first.onValueChanged: constrain("first")
    second.onValueChanged: constrain("second")

    background: Rectangle {
        x: rangeSlider.leftPadding
        y: rangeSlider.topPadding + rangeSlider.availableHeight / 2 - height / 2
        width: rangeSlider.availableWidth
        height: 4
        radius: 2
        color: Global.colorSecondaryDarkGrey
        Rectangle {
            x: rangeSlider.first.visualPosition * parent.width
            width: (rangeSlider.second.visualPosition - rangeSlider.first.visualPosition) * parent.width
            height: parent.height
            radius: 2
            color: Global.colorSecondaryCyan
        }
    }
    first.handle: Rectangle {
        x: rangeSlider.leftPadding + rangeSlider.first.visualPosition * (rangeSlider.availableWidth - width)
        y: rangeSlider.topPadding + rangeSlider.availableHeight / 2 - height / 2
        width: 22
        height: 22
        radius: 11
        color: rangeSlider.first.pressed ? Global.colorSecondaryLightGrey : Global.colorPrimaryWhite
        Text {
            anchors.bottom: parent.top
            anchors.bottomMargin: 4
            // Centred over the handle, but kept within the slider.
            x: Math.max(-parent.x, Math.min(rangeSlider.width - parent.x - width, (parent.width - width) / 2))
            text: Widgets.sliderLabel(rangeSlider.first.value, rangeSlider.fixed, rangeSlider.type)
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 13
        }
    }
    second.handle: Rectangle {
        x: rangeSlider.leftPadding + rangeSlider.second.visualPosition * (rangeSlider.availableWidth - width)
        y: rangeSlider.topPadding + rangeSlider.availableHeight / 2 - height / 2
        width: 22
        height: 22
        radius: 11
        color: rangeSlider.second.pressed ? Global.colorSecondaryLightGrey : Global.colorPrimaryWhite
        Text {
            anchors.bottom: parent.top
            anchors.bottomMargin: 4
            // Centred over the handle, but kept within the slider.
            x: Math.max(-parent.x, Math.min(rangeSlider.width - parent.x - width, (parent.width - width) / 2))
            text: Widgets.sliderLabel(rangeSlider.second.value, rangeSlider.fixed, rangeSlider.type)
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 13
        }
    }
}
