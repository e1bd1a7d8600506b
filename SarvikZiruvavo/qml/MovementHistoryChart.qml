// The movement history: "Fast" as the first series (with the state bands)
// and "Slow" as the second, in the colour map's brightest row, 0 to 100 over
// the application's movement history. Where the state does not allow the
// values both series get a gap.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

Chart {
    id: chart

    property real slow: NaN
    property real fast: NaN
    readonly property string valueText: isNaN(fast) && isNaN(slow) ? ""
                                        : "Fast " + Pages.valueText(fast, 1) + "  Slow " + Pages.valueText(slow, 1)

    function addValues(slowValue, fastValue, time, state, shown) {
        slow = Pages.gate(shown, slowValue);
        fast = Pages.gate(shown, fastValue);
        addPoint({ "x": time, "y": fast }, state);
        addPoint2({ "x": time, "y": slow });
    }

    min: 0
    max: 100
    lineColor2: Pages.rgbText(Global.colormap[255][0], Global.colormap[255][1], Global.colormap[255][2])
}
