// The presence page: the presence state, the distance of the person, the
// movement history, the movement per range bin as bars and as heat maps.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

AppPage {
    id: page

    readonly property bool isZ7App: true
    readonly property real zoneStart: app ? app.detectionZoneStart : 0
    readonly property real zoneEnd: app ? app.detectionZoneEnd : 1
    readonly property real zoneIncrement: app && app.detectionZoneIncrement > 0 ? app.detectionZoneIncrement : 0.1
    readonly property int movementHistory: app ? app.movementSlowFastHistory : 120000
    readonly property int appState: app ? app.state : Pages.Presence.UnknownState
    readonly property bool present: appState === Pages.Presence.PresenceState
    property real distance: NaN

    helpTitle: "Presence detailed view"
    stateFamily: "presence"
    options.settingsUrl: "qrc:///qml/PresenceAppSettings.qml"
    options.presence: true
    options.showMovement: false
    options.signalQuality: present && app ? app.signalQuality : "N/A"

    onChartsReset: {
        distanceChart.reset();
        movementChart.reset();
        movementBars.reset();
        heatMaps.reset();
    }

    Connections {
        target: page.app
        ignoreUnknownSignals: true
        function onObjectDistanceChanged(objectDistance, timestamp) {
            if (page.initializing)
                return;
            page.distance = Pages.gate(Pages.presenceDistanceShown(page.appState), objectDistance);
            distanceChart.addPoint({ "x": Number(timestamp), "y": page.distance }, page.appState);
        }
        function onMovementSlowFastChanged(movementSlow, movementFast) {
            if (page.initializing)
                return;
            movementChart.addValues(movementSlow, movementFast, Date.now(), page.appState,
                                    Pages.presenceMovementShown(page.appState));
        }
        function onMovementSlowFastListChanged(movementSlowList, movementFastList) {
            if (!Pages.presenceListShown(page.appState))
                return;
            movementBars.show(movementSlowList, movementFastList);
            heatMaps.show(movementSlowList, movementFastList);
        }
    }

    ChartSection {
        objectName: "distanceSection"
        description: "DISTANCE"
        valueText: page.present ? Pages.valueText(page.distance, 2) : ""
        Chart {
            id: distanceChart
            objectName: "distanceChart"
            anchors.fill: parent
            history: page.movementHistory
            min: page.zoneStart
            max: page.zoneEnd
            stateColors: Pages.presenceStateColors(Global.colorSecondaryPurple, Global.colorSecondaryOrange,
                                                   Global.colorSecondaryDarkGrey)
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
            stateColors: distanceChart.stateColors
        }
    }
    ChartSection {
        objectName: "movementBarsSection"
        description: "MOVEMENT SLOW/FAST"
        MovementBars {
            id: movementBars
            objectName: "movementBars"
            anchors.fill: parent
            zoneStart: page.zoneStart
            zoneEnd: page.zoneEnd
            zoneIncrement: page.zoneIncrement
        }
    }
    ChartSection {
        objectName: "heatMapSection"
        description: "MOVEMENT INTENSITY HISTORY"
        MovementHeatMaps {
            id: heatMaps
            objectName: "movementHeatMaps"
            anchors.fill: parent
            zoneStart: page.zoneStart
            zoneEnd: page.zoneEnd
            zoneIncrement: page.zoneIncrement
        }
    }
}
