// Two bar charts side by side, "<prefix> SLOW" and "<prefix> FAST", over the
// detection zone: they show the latest lists, bin i at zone start + i × zone
// increment, redrawn on the display ticks after lists came.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

Item {
    id: bars

    property string prefix: "MOVEMENT"
    property real zoneStart: 0
    property real zoneEnd: 1
    property real zoneIncrement: 0.1
    property real minValue: 0
    property real maxValue: 100
    readonly property alias slowChart: slowChart
    readonly property alias fastChart: fastChart

    function fill(chart, list) {
        chart.reset();
        for (var i = 0; i < list.length; ++i)
            chart.addPoint({ "x": Pages.binX(zoneStart, zoneIncrement, i), "y": Pages.gate(true, list[i]) }, -1);
        chart.requestPaint();
    }
    property var pending: null
    function show(slowList, fastList) {
        pending = [slowList, fastList];
    }
    function flush() {
        if (!pending)
            return;
        fill(slowChart, pending[0]);
        fill(fastChart, pending[1]);
        pending = null;
    }
    function reset() {
        pending = null;
        slowChart.reset();
        fastChart.reset();
    }

    DisplayTicker {
        running: bars.pending !== null
        onTick: bars.flush()
    }

    Text {
        id: slowLabel
        objectName: "slowBarsTitle"
        x: 0
        text: bars.prefix + " SLOW"
        color: Global.colorSecondaryLightGrey
        font.family: Global.fontFamily
        font.pixelSize: 11
    }
    Text {
        objectName: "fastBarsTitle"
        x: fastChart.x
        text: bars.prefix + " FAST"
        color: Global.colorSecondaryLightGrey
        font.family: Global.fontFamily
        font.pixelSize: 11
    }
    BarChart {
        id: slowChart
        objectName: "slowBars"
        x: 0
        y: slowLabel.height + 2
        width: (bars.width - 8) / 2
        height: bars.height - y
        min: bars.minValue
        max: bars.maxValue
        minX: bars.zoneStart
        maxX: bars.zoneEnd
        xStep: bars.zoneIncrement
    }
    BarChart {
        id: fastChart
        objectName: "fastBars"
        x: slowChart.width + 8
        y: slowChart.y
        width: slowChart.width
        height: slowChart.height
        min: bars.minValue
        max: bars.maxValue
        minX: bars.zoneStart
        maxX: bars.zoneEnd
        xStep: bars.zoneIncrement
    }
}
