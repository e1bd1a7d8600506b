// The sleep stages over [minX, maxX] (seconds up to 0): each entry {x, y,
// state} bands the background in its stage's colour and joins the line;
// nothing is merged. Optional row labels stand on the left, top to bottom.
// The tick row counts back from the right edge, in minutes when the range
// spans five minutes or more. The owner calls requestPaint() after changes.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/charts.js" as Charts

Item {
    id: sleepChart

    property var points: []
    property real min: 0
    property real max: 5
    property real minX: -3600
    property real maxX: 0
    property real xStep: 30
    property var labels: []
    property color lineColor: "white"
    property color fillColor: "#16ffffff"
    property color borderColor: "white"
    property real paintMargin: 2
    // Band colours by sleep stage: unknown, deep, light, REM, awake, no
    // presence.
    property var stateColors: [
        Global.colorSecondaryDarkGrey, "#317743", "#317743", "#317743", "#42a35c", Global.colorSecondaryPurple
    ]
    readonly property alias plotArea: canvas
    property int paintCount: 0
    readonly property bool stackAllows: Charts.stackAllowsPainting(
        typeof applicationWindow !== "undefined" && applicationWindow && applicationWindow.pageStack
        ? applicationWindow.pageStack.depth : undefined)
    property bool paintPending: false

    function addPoint(point, state) {
        Charts.dropOldRange(points, minX);
        Charts.addValue(points, Number(point.x), Number(point.y), state, 0);
    }
    function reset() {
        points = [];
        requestPaint();
    }
    function requestPaint() {
        if (stackAllows && Charts.isShown(sleepChart)) {
            paintPending = false;
            canvas.requestPaint();
        } else {
            paintPending = true;
        }
    }
    function paintOn(ctx) {
        // A paint asked for before the page was covered keeps the picture.
        if (!stackAllows || !Charts.isShown(sleepChart)) {
            paintPending = true;
            return;
        }
        ctx.reset();
        if (!Charts.canDraw(canvas.width, canvas.height))
            return;
        var v = {
            "width": canvas.width, "height": canvas.height, "min": min, "max": max, "margin": paintMargin,
            "history": 0, "minX": minX, "maxX": maxX
        };
        ctx.fillStyle = fillColor;
        ctx.fillRect(0, 0, v.width, v.height);
        ctx.globalAlpha = 0.8;
        Charts.traceBands(function (x, w, color) {
            ctx.fillStyle = color;
            ctx.fillRect(x, 0, w, v.height);
        }, points, v, stateColors);
        ctx.globalAlpha = 1;
        ctx.lineWidth = 2;
        ctx.strokeStyle = lineColor;
        ctx.beginPath();
        Charts.traceLine(ctx, points, v);
        ctx.stroke();
        ctx.lineWidth = 1;
        ctx.strokeStyle = borderColor;
        ctx.strokeRect(0.5, 0.5, v.width - 1, v.height - 1);
        paintCount += 1;
    }

    onVisibleChanged: if (visible && paintPending) requestPaint()
    onStackAllowsChanged: if (stackAllows && paintPending) requestPaint()

    Column {
        id: rowLabels
        objectName: "rowLabels"
        anchors.left: parent.left
        anchors.top: canvas.top
        width: sleepChart.labels.length > 0 ? implicitWidth + 6 : 0
        Repeater {
            model: sleepChart.labels
            Text {
                height: canvas.height / Math.max(1, sleepChart.labels.length)
                verticalAlignment: Text.AlignVCenter
                text: modelData
                color: Global.colorSecondaryLightGrey
                font.family: Global.fontFamily
                font.pixelSize: 11
            }
        }
    }
    Canvas {
        id: canvas
        objectName: "chartCanvas"
        anchors.top: parent.top
        anchors.left: rowLabels.right
        anchors.right: parent.right
        anchors.bottom: tickRow.top
        renderStrategy: Canvas.Threaded
        onWidthChanged: sleepChart.requestPaint()
        onHeightChanged: sleepChart.requestPaint()
        onPaint: sleepChart.paintOn(getContext("2d"))
        onPainted: sleepChart.pictureCount += 1
    }
    TickRow {
        id: tickRow
        anchors.left: canvas.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: implicitHeight
        ticks: Charts.sleepTicks(sleepChart.minX, sleepChart.maxX, sleepChart.xStep, canvas.width)
    }
}
