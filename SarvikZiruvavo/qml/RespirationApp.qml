// The respiration page (and, with the movement section shown, the sleep
// page): the respiration state with breaths per minute and distance, the
// breathing rate, the breathing pattern and the distance over their own
// histories. Values are drawn while the person breathes; other states leave
// a gap with their colour band.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

AppPage {
    id: page

    readonly property bool isZ7App: true
    property bool showMovementSection: false
    readonly property int appState: app ? app.state : Pages.Respiration.UnknownState
    readonly property bool breathing: Pages.respirationValueShown(appState)
    readonly property real zoneStart: app ? app.detectionZoneStart : 0
    readonly property real zoneEnd: app ? app.detectionZoneEnd : 1
    property real rpm: NaN
    property real movement: NaN
    property real distance: NaN
    readonly property var respirationColors: [
        Global.colorSecondaryBlue, Global.colorSecondaryOrange, Global.colorSecondaryOrange,
        Global.colorSecondaryPurple, Global.colorSecondaryPurple, Global.colorSecondaryPurple,
        Global.colorSecondaryPurple, Global.colorSecondaryDarkGrey
    ]

    helpTitle: "Respiration detailed view"
    stateFamily: "respiration"
    options.settingsUrl: "qrc:///qml/RespirationAppSettings.qml"
    // The older modules send no movement lists.
    options.showMovement: false
    options.signalQuality: breathing && app ? app.signalQuality : "N/A"

    onChartsReset: {
        rpmChart.reset();
        patternChart.reset();
        distanceChart.reset();
        movementChart.reset();
    }

    function add(chart, value, timestamp) {
        var shown = Pages.gate(breathing, value);
        chart.addPoint({ "x": Number(timestamp), "y": shown }, appState);
        return shown;
    }

    Connections {
        target: page.app
        ignoreUnknownSignals: true
        function onRpmChanged(rpm, timestamp) {
            if (!page.initializing)
                page.rpm = page.add(rpmChart, rpm, timestamp);
        }
        function onObjectMovementChanged(objectMovement, timestamp) {
            if (!page.initializing)
                page.movement = page.add(patternChart, objectMovement, timestamp);
        }
        function onObjectDistanceChanged(objectDistance, timestamp) {
            if (!page.initializing)
                page.distance = page.add(distanceChart, objectDistance, timestamp);
        }
        function onMovementSlowFastChanged(movementSlow, movementFast) {
            if (!page.showMovementSection || page.initializing)
                return;
            var s = page.appState;
            movementChart.addValues(movementSlow, movementFast, Date.now(), s,
                                    s !== Pages.Respiration.UnknownState && s !== Pages.Respiration.NoConnectionState);
        }
    }

    ChartSection {
        objectName: "rpmSection"
        description: "RPM"
        valueText: page.breathing ? Pages.valueText(page.rpm, 0) : ""
        Chart {
            id: rpmChart
            objectName: "rpmChart"
            anchors.fill: parent
            history: page.app ? page.app.rpmHistory : 120000
            min: page.app ? page.app.rpmMin : 8
            max: page.app ? page.app.rpmMax : 70
            stateColors: page.respirationColors
        }
    }
    ChartSection {
        objectName: "patternSection"
        description: "BREATHING PATTERN"
        valueText: page.breathing ? Pages.valueText(page.movement, 2) : ""
        Chart {
            id: patternChart
            objectName: "patternChart"
            anchors.fill: parent
            history: page.app ? page.app.objectMovementHistory : 5000
            min: page.app ? page.app.objectMovementMin : -5
            max: page.app ? page.app.objectMovementMax : 5
            stateColors: page.respirationColors
        }
    }
    ChartSection {
        objectName: "distanceSection"
        description: "DISTANCE"
        valueText: page.breathing ? Pages.valueText(page.distance, 2) : ""
        Chart {
            id: distanceChart
            objectName: "distanceChart"
            anchors.fill: parent
            history: page.app ? page.app.objectDistanceHistory : 120000
            min: page.zoneStart
            max: page.zoneEnd
            stateColors: page.respirationColors
        }
    }
    ChartSection {
        objectName: "movementSection"
        description: "MOVEMENT SLOW/FAST"
        visible: page.showMovementSection
        valueText: movementChart.valueText
        MovementHistoryChart {
            id: movementChart
            objectName: "movementHistoryChart"
            anchors.fill: parent
            history: page.app ? page.app.movementSlowFastHistory : 120000
            stateColors: page.respirationColors
        }
    }
}
