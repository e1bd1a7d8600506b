// A chart on a 2D canvas: a scrolling time chart of the last history ms (the
// newest value at the right edge), or, with history 0, a chart over
// [minX, maxX]. Two series of values (addPoint with the device state, whose
// colour bands the background, and addPoint2), drawn as lines or bars, with
// the value range labelled on the left and a tick row below. The series keep
// only what can be seen: what fell off the left is dropped, values on one
// pixel column are merged, runs of one value collapse to their ends (the
// rules are in charts.js).
//
// A time chart repaints on a timer while its device is live or its
// recording plays; an x-range chart repaints when its owner calls
// requestPaint(). Charts paint only over the application page (nothing
// above it on the page stack) while they show; a chart of no size keeps its
// data and draws nothing.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/charts.js" as Charts

Item {
    id: chart

    property real history: 4000
    property var points: []
    property var points2: []
    property real min: 100
    property real max: 0
    property bool autoScale: false
    property bool drawLine: true
    property bool drawBackground: true
    property bool drawBars: false
    property color lineColor: "white"
    property color lineColor2: "yellow"
    property color fillColor: "#16ffffff"
    property color borderColor: "white"
    property real paintMargin: 2
    // X-range mode (history 0): the x axis and its tick step.
    property real minX: 0
    property real maxX: 100
    property real xStep: 10
    property int decimalCount: 2
    // Band colours by device state: the respiration states, from breathing
    // (0) to no connection (8).
    property var stateColors: [
        Global.colorSecondaryBlue, Global.colorSecondaryOrange, Global.colorSecondaryOrange,
        Global.colorSecondaryPurple, Global.colorSecondaryPurple, Global.colorSecondaryPurple,
        Global.colorSecondaryPurple, Global.colorSecondaryBlue, Global.colorSecondaryDarkGrey
    ]
    readonly property real secondsPerPixel: Charts.secondsPerPixel(history, canvas.width)
    readonly property int frameInterval: Charts.frameInterval(secondsPerPixel)
    readonly property int repaintInterval: Charts.repaintInterval(frameInterval, secondsPerPixel * 1000)
    readonly property alias minLabel: minLabelItem
    readonly property alias maxLabel: maxLabelItem
    // The drawing area, for items laid over it.
    readonly property alias plotArea: canvas
    // Paints drawn, and pictures shown after them; tests wait on them.
    property int paintCount: 0
    property int pictureCount: 0

    // The device whose data the chart shows; its playback drives the clock.
    readonly property QtObject device: typeof deviceManager !== "undefined" && deviceManager
                                       ? deviceManager.activeDevice : null
    readonly property real rate: Charts.playbackRate(device)
    readonly property bool timeRuns: Charts.timeChartRuns(history, !!device && device.isPlaybackDevice === true,
                                                          device ? device.playbackState : 0)
    readonly property bool stackAllows: Charts.stackAllowsPainting(
        typeof applicationWindow !== "undefined" && applicationWindow && applicationWindow.pageStack
        ? applicationWindow.pageStack.depth : undefined)
    // The last width the chart had: merging goes on by it while it has none.
    property real lastWidth: 0
    property bool paintPending: false

    function addPoint(point, deviceState) {
        add(points, point, deviceState);
    }
    function addPoint2(point) {
        add(points2, point, undefined);
    }
    function reset() {
        points = [];
        points2 = [];
        requestPaint();
    }
    function requestPaint() {
        if (stackAllows && Charts.isShown(chart)) {
            paintPending = false;
            canvas.requestPaint();
        } else {
            paintPending = true;
        }
    }

    function currentTime() {
        return Date.now();
    }
    function add(series, point, deviceState) {
        var value = Number(point.y);
        if (history > 0)
            Charts.dropOldTime(series, currentTime(), history, rate);
        else
            Charts.dropOldRange(series, minX);
        if (autoScale) {
            var range = Charts.autoScale(min, max, value);
            if (range.max !== max)
                max = range.max;
            if (range.min !== min)
                min = range.min;
        }
        var span = Charts.pixelTime(history, Charts.mergingWidth(canvas.width, lastWidth));
        Charts.addValue(series, Number(point.x), value, deviceState, span);
        dataPending = true;
    }
    function view() {
        return {
            "width": canvas.width,
            "height": canvas.height,
            "min": min,
            "max": max,
            "margin": paintMargin,
            "history": history,
            "now": currentTime(),
            "rate": rate,
            "minX": minX,
            "maxX": maxX
        };
    }
    function paintOn(ctx) {
        // A paint asked for before the page was covered keeps the picture.
        if (!stackAllows || !Charts.isShown(chart)) {
            paintPending = true;
            return;
        }
        ctx.reset();
        if (!Charts.canDraw(canvas.width, canvas.height))
            return;
        var v = view();
        paintedAt = v.now;
        paintedAtWall = Date.now();
        dataPending = false;
        ctx.fillStyle = fillColor;
        ctx.fillRect(0, 0, v.width, v.height);
        if (drawBackground) {
            ctx.globalAlpha = 0.6;
            Charts.traceBands(function (x, w, color) {
                ctx.fillStyle = color;
                ctx.fillRect(x, 0, w, v.height);
            }, points, v, stateColors);
            ctx.globalAlpha = 1;
        }
        if (drawBars) {
            var gradient = ctx.createLinearGradient(0, 0, 0, v.height);
            barStops.forEach(function (stop) {
                gradient.addColorStop(stop.position, stop.color);
            });
            ctx.fillStyle = gradient;
            Charts.traceBars(function (x, top, w, h) {
                ctx.fillRect(x, top, w, h);
            }, points, v);
        }
        if (drawLine) {
            ctx.lineWidth = 2;
            ctx.lineJoin = "round";
            ctx.strokeStyle = lineColor;
            ctx.beginPath();
            Charts.traceLine(ctx, points, v);
            ctx.stroke();
            ctx.strokeStyle = lineColor2;
            ctx.beginPath();
            Charts.traceLine(ctx, points2, v);
            ctx.stroke();
        }
        ctx.lineWidth = 1;
        ctx.strokeStyle = borderColor;
        ctx.strokeRect(0.5, 0.5, v.width - 1, v.height - 1);
        paintCount += 1;
    }

    readonly property var barStops: Charts.barGradientStops(Global.colormap)

    onVisibleChanged: if (visible && paintPending) requestPaint()
    onStackAllowsChanged: if (stackAllows && paintPending) requestPaint()

    Canvas {
        id: canvas
        objectName: "chartCanvas"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: tickRow.top
        // Painted at once, in plain (not smoothed) pixels. At once: the
        // charts of a page that repaint on one tick then change in one window
        // frame, where a painting thread finishes each picture in a frame of
        // its own, and every frame is drawn whole (in software on most
        // machines, the larger part of a live page's cost). Plain: smoothing
        // the lines costs several times the rest of a paint in software
        // rendering, and time charts repaint up to 40 times a second.
        renderStrategy: Canvas.Immediate
        antialiasing: false
        onWidthChanged: {
            if (width > 0)
                chart.lastWidth = width;
            chart.requestPaint();
        }
        onHeightChanged: chart.requestPaint()
        onPaint: chart.paintOn(getContext("2d"))
        onPainted: chart.pictureCount += 1
    }
    Text {
        id: maxLabelItem
        objectName: "maxLabel"
        anchors.top: canvas.top
        anchors.left: canvas.left
        anchors.margins: 4
        text: Charts.valueLabel(chart.max)
        color: Global.colorSecondaryLightGrey
        font.family: Global.fontFamily
        font.pixelSize: 11
    }
    Text {
        id: minLabelItem
        objectName: "minLabel"
        anchors.bottom: canvas.bottom
        anchors.left: canvas.left
        anchors.margins: 4
        text: Charts.valueLabel(chart.min)
        color: Global.colorSecondaryLightGrey
        font.family: Global.fontFamily
        font.pixelSize: 11
    }
    TickRow {
        id: tickRow
        objectName: "tickRow"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: implicitHeight
        ticks: Charts.ticks(chart.history, chart.minX, chart.maxX, chart.xStep, canvas.width, chart.decimalCount)
    }
    // When the picture on the canvas was drawn, by the chart's clock and by
    // the wall clock, and whether values came since.
    property real paintedAt: 0
    property real paintedAtWall: 0
    property bool dataPending: false
    // The time between two repaints (repaintInterval), kept in step with
    // the clock: charts of one interval repaint at the same moments, into
    // the same frame. A tick
    // repaints only once the picture has scrolled by a pixel or more (a
    // smaller step would draw the same pixels again; values that came
    // meanwhile show, at most one pixel column late, in the next picture),
    // or when values came and the picture is older than a quarter second
    // (a chart that scrolls slower than that).
    property int tickDelay: repaintInterval
    readonly property bool repainting: repaintTimer.running
    Timer {
        id: repaintTimer
        interval: chart.tickDelay
        repeat: true
        running: chart.timeRuns && chart.visible && chart.stackAllows
        onTriggered: {
            if (Charts.isShown(chart)
                    && Charts.tickRepaints(Charts.scrolledPixels(chart.paintedAt, chart.currentTime(), chart.history,
                                                                 chart.rate, canvas.width),
                                           chart.dataPending, Date.now() - chart.paintedAtWall))
                canvas.requestPaint();
            chart.tickDelay = Charts.nextTickDelay(Date.now(), chart.repaintInterval);
        }
    }
}
