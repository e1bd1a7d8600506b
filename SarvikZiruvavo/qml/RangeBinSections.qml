// The four sections of raw frames over range bins, on the raw-chip page and
// in the baseband window. Baseband frames (amplitude and phase per bin):
// "Baseband Amplitude" with a linear / logarithmic scale choice, "Baseband
// Phase" from -π to π, "Baseband Single Bin" (the selected amplitude bin and
// the phase of the selected phase bin over 5 s) and "Baseband History" (a
// heat map of the amplitudes or the phases). Carrier frames (one value per
// sample): the same without phase, named "Carrier Frequency".
//
// The value range is taken from each of the first 50 frames, then kept until
// more than 5 frames in a row leave it (above its maximum, or more than 45 %
// below it); the frame after that sets it anew (pages.js).
//
// Every frame counts for the range, the single bin and the history; the
// charts show the latest frame, and the history the frames that came, on
// the display ticks.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

ColumnLayout {
    id: sections

    property bool carrier: false
    property QtObject device: null
    readonly property bool logarithmic: !carrier && !!device && Number(device.basebandScale) === Pages.LogarithmicScale
    readonly property string rangeKind: carrier ? "carrier" : logarithmic ? "log" : "linear"
    readonly property string prefix: carrier ? "Carrier Frequency" : "Baseband"
    property var range: Pages.newRange()
    property real rangeMin: 0
    property real rangeMax: 1
    property int frameCounter: 0
    property int shownFrameCounter: 0
    // The latest frame not yet shown, and the history frames waiting.
    property var pendingFrame: null
    property var pendingHeat: []
    readonly property int pendingHeatLimit: 1000
    property bool heatMapShowsPhase: false
    property real rangeBinOffset: 0
    property real rangeBinLength: 1
    property int rangeBinCount: 0
    readonly property alias amplitudeChart: amplitudeChart
    readonly property alias phaseChart: phaseChart
    readonly property alias singleBinChart: singleBinChart
    readonly property alias heatMap: heatMap
    // Frames taken; tests wait on it.
    property int frames: 0

    function reset() {
        pendingFrame = null;
        pendingHeat = [];
        amplitudeChart.reset();
        phaseChart.reset();
        singleBinChart.reset();
        heatMap.reset();
        range = Pages.newRange();
    }
    function fillChart(chart, values) {
        chart.reset();
        for (var i = 0; i < values.length; ++i)
            chart.addPoint({ "x": rangeBinOffset + i * rangeBinLength, "y": Pages.gate(true, values[i]) }, -1);
        chart.requestPaint();
    }
    function addHeatFrame(values, minimum) {
        var canvas = heatMap.canvas;
        canvas.beginFrame();
        for (var i = 0; i < values.length; ++i)
            canvas.addPoint(Qt.point(rangeBinOffset + i * rangeBinLength, Pages.heatValue(values[i], minimum)));
        canvas.endFrame();
    }
    // One frame: amplitudes and phases per bin (phases empty for carrier
    // frames).
    function takeFrame(counter, binLength, offset, amplitudes, phases) {
        frameCounter = counter;
        Pages.takeFrame(range, rangeKind, amplitudes);
        pendingFrame = { "offset": offset, "binLength": binLength > 0 ? binLength : 1, "amplitudes": amplitudes,
                         "phases": phases };
        var now = Date.now();
        var ampIndex = amplitudeChart.selectedIndex;
        var phaseIndex = carrier ? -1 : phaseChart.selectedIndex;
        if (ampIndex >= 0 && ampIndex < amplitudes.length)
            singleBinChart.addPoint({ "x": now, "y": Pages.gate(true, amplitudes[ampIndex]) }, -1);
        if (phaseIndex >= 0 && phaseIndex < phases.length)
            singleBinChart.addPoint2({ "x": now, "y": Pages.gate(true, Pages.binPhase(phases, phaseIndex)) });
        var heat = pendingHeat;
        heat.push(heatMapShowsPhase && !carrier ? phases : amplitudes);
        if (heat.length > pendingHeatLimit)
            heat.splice(0, heat.length - pendingHeatLimit);
        pendingHeat = heat;
        frames += 1;
    }
    // Shows what came since the last tick.
    function flush() {
        shownFrameCounter = frameCounter;
        var frame = pendingFrame;
        if (!frame)
            return;
        pendingFrame = null;
        rangeBinOffset = frame.offset;
        rangeBinLength = frame.binLength;
        rangeBinCount = frame.amplitudes.length;
        rangeMin = range.min;
        rangeMax = range.max;
        fillChart(amplitudeChart, frame.amplitudes);
        if (!carrier)
            fillChart(phaseChart, frame.phases);
        var heat = pendingHeat;
        pendingHeat = [];
        var phase = heatMapShowsPhase && !carrier;
        heat.forEach(function (values) {
            addHeatFrame(values, phase ? -Math.PI : rangeMin);
        });
    }
    function chooseScale(index) {
        if (!device)
            return;
        device.basebandScale = index === 0 ? Pages.LinearScale : Pages.LogarithmicScale;
        Pages.recomputeRange(range);
        if (!heatMapShowsPhase) {
            pendingHeat = [];
            heatMap.reset();
        }
        singleBinChart.reset();
    }
    function chooseHeatMap(index) {
        heatMapShowsPhase = index === 1;
        pendingHeat = [];
        heatMap.reset();
    }

    spacing: 6

    DisplayTicker {
        running: sections.visible && (sections.pendingFrame !== null
                                      || sections.shownFrameCounter !== sections.frameCounter)
        onTick: sections.flush()
    }

    ChartSection {
        objectName: "amplitudeSection"
        description: sections.carrier ? "Carrier Frequency" : "Baseband Amplitude"
        ChoiceRow {
            objectName: "scaleChoice"
            anchors.right: parent.right
            anchors.rightMargin: 30
            y: -height - 4
            visible: !sections.carrier
            labels: ["linear", "logarithmic"]
            currentIndex: sections.logarithmic ? 1 : 0
            onChosen: sections.chooseScale(index)
        }
        RangeBinChart {
            id: amplitudeChart
            objectName: "amplitudeChart"
            anchors.fill: parent
            min: sections.rangeMin
            max: sections.rangeMax
            rangeBinCount: sections.rangeBinCount
            rangeBinOffset: sections.rangeBinOffset
            rangeBinLength: sections.rangeBinLength
            onSelectedIndexChanged: singleBinChart.reset()
        }
    }
    ChartSection {
        objectName: "phaseSection"
        description: "Baseband Phase"
        visible: !sections.carrier
        RangeBinChart {
            id: phaseChart
            objectName: "phaseChart"
            anchors.fill: parent
            min: -Math.PI
            max: Math.PI
            selectedColor: Global.colorSecondaryCyan
            rangeBinCount: sections.rangeBinCount
            rangeBinOffset: sections.rangeBinOffset
            rangeBinLength: sections.rangeBinLength
            onSelectedIndexChanged: singleBinChart.reset()
            Component.onCompleted: {
                maxLabel.text = "\u03c0";
                minLabel.text = "-\u03c0";
            }
        }
    }
    ChartSection {
        objectName: "singleBinSection"
        description: sections.prefix + " Single Bin"
        Chart {
            id: singleBinChart
            objectName: "singleBinChart"
            anchors.fill: parent
            history: 5000
            autoScale: true
            drawBackground: false
            lineColor2: Global.colorSecondaryCyan
        }
        Text {
            objectName: "noBinText"
            anchors.centerIn: parent
            visible: amplitudeChart.selectedIndex < 0 && (sections.carrier || phaseChart.selectedIndex < 0)
            text: Pages.noBinText(sections.carrier)
            color: Global.colorSecondaryLightGrey
            font.family: Global.fontFamily
            font.pixelSize: 13
        }
    }
    ChartSection {
        objectName: "historySection"
        description: sections.prefix + " History"
        ChoiceRow {
            objectName: "heatMapChoice"
            anchors.right: parent.right
            anchors.rightMargin: 30
            y: -height - 4
            visible: !sections.carrier
            labels: ["amplitude", "phase"]
            currentIndex: sections.heatMapShowsPhase ? 1 : 0
            onChosen: sections.chooseHeatMap(index)
        }
        ColormapChart {
            id: heatMap
            objectName: "historyHeatMap"
            anchors.fill: parent
            minX: sections.rangeBinOffset
            maxX: sections.rangeBinOffset + Math.max(0, sections.rangeBinCount - 1) * sections.rangeBinLength
            xStep: sections.rangeBinLength
            minPointValue: sections.heatMapShowsPhase && !sections.carrier ? -Math.PI : sections.rangeMin
            maxPointValue: sections.heatMapShowsPhase && !sections.carrier ? Math.PI : sections.rangeMax
        }
    }
}
