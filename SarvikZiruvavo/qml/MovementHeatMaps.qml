// Two heat maps side by side (slow and fast) over the detection zone: one
// frame per list update, each bin at zone start + i × zone increment, frames
// one pixel thick. The frames that came are added on the display ticks.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

Item {
    id: maps

    property string prefix: "MOVEMENT"
    property real zoneStart: 0
    property real zoneEnd: 1
    property real zoneIncrement: 0.1
    property real minValue: 0
    property real maxValue: 100
    property int binCount: 0
    readonly property alias slowMap: slowMap
    readonly property alias fastMap: fastMap

    function addFrame(map, list) {
        var heatMap = map.canvas;
        heatMap.beginFrame();
        for (var i = 0; i < list.length; ++i)
            heatMap.addPoint(Qt.point(Pages.binX(zoneStart, zoneIncrement, i), Pages.heatValue(list[i], minValue)));
        heatMap.endFrame();
    }
    // Frames waiting for the next tick; no more than a heat map can show.
    property var pending: []
    property int pendingCount: 0
    readonly property int pendingLimit: 1000
    function show(slowList, fastList) {
        var frames = pending;
        frames.push([slowList, fastList]);
        if (frames.length > pendingLimit)
            frames.splice(0, frames.length - pendingLimit);
        pending = frames;
        pendingCount = frames.length;
    }
    function flush() {
        var frames = pending;
        pending = [];
        pendingCount = 0;
        frames.forEach(function (frame) {
            binCount = frame[0].length;
            addFrame(slowMap, frame[0]);
            addFrame(fastMap, frame[1]);
        });
    }
    function reset() {
        pending = [];
        pendingCount = 0;
        slowMap.reset();
        fastMap.reset();
    }

    DisplayTicker {
        running: maps.pendingCount > 0
        onTick: maps.flush()
    }

    Text {
        id: slowLabel
        text: maps.prefix + " SLOW"
        color: Global.colorSecondaryLightGrey
        font.family: Global.fontFamily
        font.pixelSize: 11
    }
    Text {
        x: fastMap.x
        text: maps.prefix + " FAST"
        color: Global.colorSecondaryLightGrey
        font.family: Global.fontFamily
        font.pixelSize: 11
    }
    ColormapChart {
        id: slowMap
        objectName: "slowHeatMap"
        y: slowLabel.height + 2
        width: (maps.width - 8) / 2
        height: maps.height - y
        minX: maps.zoneStart
        maxX: maps.zoneEnd
        xStep: maps.zoneIncrement
        minPointValue: maps.minValue
        maxPointValue: maps.maxValue
        frameThickness: 1
        margin: Pages.heatMapMargin(width, maps.binCount)
    }
    ColormapChart {
        id: fastMap
        objectName: "fastHeatMap"
        x: slowMap.width + 8
        y: slowMap.y
        width: slowMap.width
        height: slowMap.height
        minX: maps.zoneStart
        maxX: maps.zoneEnd
        xStep: maps.zoneIncrement
        minPointValue: maps.minValue
        maxPointValue: maps.maxValue
        frameThickness: 1
        margin: Pages.heatMapMargin(width, maps.binCount)
    }
}
