// The frame around a heat map (SvColormapChart): the value range labelled on
// the left and the tick row of a chart below, over [minX, maxX], or over
// seconds back from now when history is set. The owner feeds canvas, the
// heat map itself, frame by frame (beginFrame, addPoint, endFrame).
//
// The heat map keeps as many frames as rows fit its height; a chart that
// shrinks for a moment (a section collapsing or expanding, no size yet)
// would lose the older frames. So the heat map keeps its size while the
// frame has none and follows a smaller one only once it has stayed so.
import QtQuick 2.15
import com.sarvik.colormapchart 1.0
import "../js/global.js" as Global
import "../js/charts.js" as Charts

Item {
    id: frame

    property real minX: 0
    property real maxX: 1
    property real xStep: 0.1
    property real history: 0
    property int decimalCount: 2
    property real minPointValue: 0
    property real maxPointValue: 1
    property alias orientation: heatMap.orientation
    property alias frameThickness: heatMap.frameThickness
    property alias margin: heatMap.margin
    readonly property alias canvas: heatMap
    readonly property alias minLabel: minLabelItem
    readonly property alias maxLabel: maxLabelItem
    // How long a smaller size must stand before the heat map follows it.
    property int settleInterval: 300

    function reset() {
        heatMap.reset();
    }

    // The size the heat map keeps; grown at once, shrunk when settled.
    property real heldWidth: 0
    property real heldHeight: 0
    function holdSize() {
        if (plot.width > 0 && plot.height > 0 && plot.visible) {
            heldWidth = plot.width;
            heldHeight = plot.height;
        }
    }

    Item {
        id: plot
        objectName: "heatMapArea"
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: tickRow.top
        clip: true
        onWidthChanged: settleTimer.restart()
        onHeightChanged: settleTimer.restart()
        onVisibleChanged: settleTimer.restart()

        SvColormapChart {
            id: heatMap
            objectName: "heatMap"
            width: Math.max(plot.width, frame.heldWidth)
            height: Math.max(plot.height, frame.heldHeight)
            visible: plot.width > 0 && plot.height > 0
            colormap: Global.colormap
            backgroundColor: Global.colorSecondaryPurple
            minimumValue: Qt.point(frame.minX, frame.minPointValue)
            maximumValue: Qt.point(frame.maxX, frame.maxPointValue)
        }
    }
    Timer {
        id: settleTimer
        interval: frame.settleInterval
        onTriggered: frame.holdSize()
    }
    Text {
        id: maxLabelItem
        objectName: "maxLabel"
        anchors.top: plot.top
        anchors.left: plot.left
        anchors.margins: 4
        text: Charts.colormapValueLabel(frame.maxPointValue)
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: 11
    }
    Text {
        id: minLabelItem
        objectName: "minLabel"
        anchors.bottom: plot.bottom
        anchors.left: plot.left
        anchors.margins: 4
        text: Charts.colormapValueLabel(frame.minPointValue)
        color: Global.colorPrimaryWhite
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
        // Time runs right to left, and so does a horizontal heat map.
        ticks: {
            var list = Charts.ticks(frame.history, frame.minX, frame.maxX, frame.xStep, plot.width,
                                    frame.decimalCount);
            if (frame.history > 0 || frame.orientation !== Qt.Horizontal)
                return list;
            return list.map(function (tick) {
                return { "position": 1 - tick.position, "label": tick.label };
            });
        }
    }
}
