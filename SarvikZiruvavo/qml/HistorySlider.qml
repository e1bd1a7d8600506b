// A slider over whole seconds (or minutes) of a range {from, to, step,
// fallback} from settings.js, labelled with its unit.
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/settings.js" as Settings

StyledSlider {
    property var range: ({ "from": 0, "to": 1, "step": 1, "fallback": 0 })

    width: parent ? parent.width : implicitWidth
    from: range.from
    to: range.to
    stepSize: range.step
    snapMode: Slider.SnapAlways
    value: range.fallback
    type: Settings.secondsUnit
}
