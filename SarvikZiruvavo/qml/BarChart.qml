// A chart of bars over [minX, maxX]: one bar per entry, rising from the
// bottom in the colour map's gradient. The owner fills it (reset, addPoint
// per value) and calls requestPaint().
import QtQuick 2.15

Chart {
    history: 0
    drawBars: true
    drawLine: false
    drawBackground: false
}
