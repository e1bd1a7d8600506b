// A chart over range bins with a strip of clickable cells laid over it, one
// per bin: hovering a cell darkens it and tells its index and distance; a
// click selects it (darker, with a dot), a click on the selected cell clears
// the selection. The owner fills it per frame (reset, addPoint per bin over
// x = rangeBinOffset + index × rangeBinLength) and calls requestPaint().
import QtQuick 2.15
import "../js/global.js" as Global

Chart {
    id: rangeBinChart

    property int rangeBinCount: 0
    property real rangeBinOffset: 0
    property real rangeBinLength: 1
    property int selectedIndex: -1
    property color selectedColor: Global.colorSecondaryOrange
    readonly property int hoveredIndex: strip.hoveredIndex

    // The distance a bin stands for, as the strip tells it.
    function binText(index) {
        return index + ": " + (rangeBinOffset + index * rangeBinLength).toFixed(2) + " m";
    }
    // A click on a cell: select it, or clear the selection when it is the
    // selected one.
    function toggleBin(index) {
        selectedIndex = index === selectedIndex ? -1 : index;
    }

    history: 0
    drawBackground: false
    xStep: rangeBinLength
    // Each bin's value stands in the middle of its cell.
    minX: rangeBinOffset - rangeBinLength / 2
    maxX: rangeBinOffset + (rangeBinCount - 0.5) * rangeBinLength

    Item {
        id: strip
        objectName: "binStrip"
        x: rangeBinChart.plotArea.x
        y: rangeBinChart.plotArea.y
        width: rangeBinChart.plotArea.width
        height: rangeBinChart.plotArea.height
        readonly property real cellWidth: rangeBinChart.rangeBinCount > 0 ? width / rangeBinChart.rangeBinCount : 0
        readonly property int hoveredIndex: stripMouse.containsMouse && cellWidth > 0
                                            ? Math.max(0, Math.min(rangeBinChart.rangeBinCount - 1,
                                                                   Math.floor(stripMouse.mouseX / cellWidth)))
                                            : -1

        Rectangle {
            objectName: "hoveredCell"
            visible: strip.hoveredIndex >= 0 && strip.hoveredIndex !== rangeBinChart.selectedIndex
            x: strip.hoveredIndex * strip.cellWidth
            width: strip.cellWidth
            height: strip.height
            color: "#48000000"
        }
        Rectangle {
            objectName: "selectedCell"
            visible: rangeBinChart.selectedIndex >= 0 && rangeBinChart.selectedIndex < rangeBinChart.rangeBinCount
            x: rangeBinChart.selectedIndex * strip.cellWidth
            width: strip.cellWidth
            height: strip.height
            color: "#6F000000"
            Rectangle {
                objectName: "selectedDot"
                anchors.horizontalCenter: parent.horizontalCenter
                anchors.bottom: parent.bottom
                anchors.bottomMargin: 4
                width: 14
                height: 14
                radius: 7
                color: rangeBinChart.selectedColor
            }
        }
        Text {
            objectName: "hoveredBinText"
            visible: strip.hoveredIndex >= 0
            x: Math.max(0, Math.min(strip.width - width, (strip.hoveredIndex + 0.5) * strip.cellWidth - width / 2))
            y: 4
            text: strip.hoveredIndex >= 0 ? rangeBinChart.binText(strip.hoveredIndex) : ""
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 12
        }
        MouseArea {
            id: stripMouse
            anchors.fill: parent
            hoverEnabled: true
            onClicked: {
                if (strip.cellWidth > 0)
                    rangeBinChart.toggleBin(Math.max(0, Math.min(rangeBinChart.rangeBinCount - 1,
                                                                 Math.floor(mouse.x / strip.cellWidth))));
            }
        }
    }
}
