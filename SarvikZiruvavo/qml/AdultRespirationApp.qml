// The adult respiration page (also the baby page, and with the heart-rate
// sections the heart-rate page): the state, the sleep stages where the sleep
// analysis runs, the breathing rate and pattern, the distances of the closest
// and of the breathing target, the radar cross section and the movement
// history, all over the movement history's window.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

AppPage {
    id: page

    readonly property bool isZ7App: true
    property bool showHeartrateSections: false
    readonly property int appState: app ? app.state : Pages.Adult.UnknownState
    readonly property real zoneStart: app ? app.detectionZoneStart : 0
    readonly property real zoneEnd: app ? app.detectionZoneEnd : 1
    readonly property int movementHistory: app ? app.movementSlowFastHistory : 120000
    readonly property bool showsSleepStage: !!device && device.supportsVitalSignsData === true
                                            && typeof deviceManager !== "undefined" && !!deviceManager
                                            && deviceManager.hasSleepAnalysisPlugin === true
    readonly property bool showFullHypnogram: !!app && app.showFullHypnogram === true
    property real rpm: NaN
    property real movement: NaN
    property real distance: NaN
    property real rcs: NaN
    property real heartrate: NaN
    property real heartDistance: NaN

    helpTitle: "Adult Respiration detailed view"
    stateFamily: "adult"
    options.settingsUrl: "qrc:///qml/AdultRespirationAppSettings.qml"
    options.signalQuality: Pages.adultBreathingShown(appState) && app ? app.signalQuality : "N/A"

    onChartsReset: {
        sleepChart.reset();
        heartrateChart.reset();
        heartDistanceChart.reset();
        rpmChart.reset();
        patternChart.reset();
        distanceChart.reset();
        rcsChart.reset();
        movementChart.reset();
    }
    onShowFullHypnogramChanged: sleepChart.reset()

    function add(chart, value, timestamp, shown) {
        var gated = Pages.gate(shown, value);
        chart.addPoint({ "x": Number(timestamp), "y": gated }, appState);
        return gated;
    }
    function rebuildHypnogram(hypnogram) {
        sleepChart.reset();
        Pages.hypnogramPoints(hypnogram, app ? app.epochLength : 30, app ? app.sleepStage : 0).forEach(function (p) {
            sleepChart.addPoint(p, p.state);
        });
        sleepChart.requestPaint();
    }

    Connections {
        target: page.app
        ignoreUnknownSignals: true
        function onRpmChanged(rpm, timestamp) {
            if (!page.initializing)
                page.rpm = page.add(rpmChart, rpm, timestamp, Pages.adultBreathingShown(page.appState));
        }
        function onObjectMovementChanged(objectMovement, timestamp) {
            if (!page.initializing)
                page.movement = page.add(patternChart, objectMovement, timestamp,
                                         Pages.adultBreathingShown(page.appState));
        }
        function onObjectDistanceChanged(objectDistance, timestamp) {
            if (page.initializing)
                return;
            page.distance = page.add(distanceChart, objectDistance, timestamp, Pages.adultDistanceShown(page.appState));
            distanceChart.addPoint2({ "x": Number(timestamp),
                                      "y": Pages.gate(Pages.adultBreathingDistanceShown(page.appState,
                                                                                        page.app.detectionCount),
                                                      page.app.breathingDistance) });
        }
        function onRcsChanged(rcs, timestamp) {
            if (!page.initializing)
                page.rcs = page.add(rcsChart, rcs, timestamp, Pages.adultDistanceShown(page.appState));
        }
        function onHeartrateChanged(heartrate, distance, confidence, timestamp) {
            if (!page.showHeartrateSections || page.initializing)
                return;
            var shown = page.appState === Pages.Adult.HeartrateState;
            page.heartrate = Pages.gate(shown, heartrate);
            page.heartDistance = Pages.gate(shown, distance);
            heartrateChart.addPoint({ "x": Number(timestamp), "y": page.heartrate },
                                    shown ? Pages.heartrateBand(confidence) : -1);
            heartDistanceChart.addPoint({ "x": Number(timestamp), "y": page.heartDistance }, page.appState);
        }
        function onMovementSlowFastChanged(movementSlow, movementFast) {
            if (!page.initializing)
                movementChart.addValues(movementSlow, movementFast, Date.now(), page.appState,
                                        Pages.adultMovementShown(page.appState));
        }
        function onHypnogramChanged(hypnogram) {
            page.rebuildHypnogram(hypnogram);
        }
    }

    ChartSection {
        objectName: "sleepStageSection"
        description: "SLEEP STAGE"
        visible: page.showsSleepStage
        valueText: page.app ? Pages.sleepStageName(page.app.sleepStage) : ""
        SleepChart {
            id: sleepChart
            objectName: "sleepChart"
            anchors.fill: parent
            min: 0
            max: 5
            labels: Pages.sleepStageLabels()
            minX: page.app ? Pages.sleepChartStart(page.showFullHypnogram, page.app.hypnogramBufferLength,
                                                   page.app.epochLength, page.movementHistory) : -3600
            maxX: 0
        }
    }
    ChartSection {
        objectName: "heartrateSection"
        description: "Heartrate"
        visible: page.showHeartrateSections
        valueText: Pages.valueText(page.heartrate, 0)
        Chart {
            id: heartrateChart
            objectName: "heartrateChart"
            anchors.fill: parent
            history: page.movementHistory
            min: page.app ? page.app.heartrateMin : 30
            max: page.app ? page.app.heartrateMax : 120
            stateColors: Pages.heartrateColors
        }
    }
    ChartSection {
        objectName: "heartDistanceSection"
        description: "HEART DISTANCE"
        visible: page.showHeartrateSections
        valueText: Pages.valueText(page.heartDistance, 2)
        Chart {
            id: heartDistanceChart
            objectName: "heartDistanceChart"
            anchors.fill: parent
            history: page.movementHistory
            min: page.zoneStart
            max: page.zoneEnd
        }
    }
    ChartSection {
        objectName: "rpmSection"
        description: "RPM"
        valueText: Pages.valueText(page.rpm, 1)
        Chart {
            id: rpmChart
            objectName: "rpmChart"
            anchors.fill: parent
            history: page.movementHistory
            min: page.app ? page.app.rpmMin : 8
            max: page.app ? page.app.rpmMax : 30
        }
    }
    ChartSection {
        objectName: "patternSection"
        description: "BREATHING PATTERN"
        valueText: Pages.valueText(page.movement, 2)
        Chart {
            id: patternChart
            objectName: "patternChart"
            anchors.fill: parent
            history: page.movementHistory
            min: -5
            max: 5
        }
    }
    ChartSection {
        objectName: "distanceSection"
        description: "DISTANCE"
        valueText: Pages.valueText(page.distance, 2)
        Chart {
            id: distanceChart
            objectName: "distanceChart"
            anchors.fill: parent
            history: page.movementHistory
            min: page.zoneStart
            max: page.zoneEnd
        }
    }
    ChartSection {
        objectName: "rcsSection"
        description: "Radar Cross Section"
        valueText: Pages.valueText(page.rcs, 0)
        Chart {
            id: rcsChart
            objectName: "rcsChart"
            anchors.fill: parent
            history: page.movementHistory
            min: -90
            max: 90
        }
    }
    ChartSection {
        objectName: "movementHistorySection"
        description: "MOVEMENT HISTORY"
        valueText: movementChart.valueText
        MovementHistoryChart {
            id: movementChart
            objectName: "movementHistoryChart"
            anchors.fill: parent
            history: page.movementHistory
        }
    }
}
