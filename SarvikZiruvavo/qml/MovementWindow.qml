// The movement window: the movement per range bin of the active application,
// as bars and as heat maps, and where the module sends them, the normalised
// movement too.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/pages.js" as Pages

DetailWindow {
    id: window

    // The page's state family ("presence" or "adult"), for the states in
    // which the lists are not drawn.
    property string stateFamily: "adult"
    readonly property bool showsNormalized: !!device && device.supportsNormalizedMovementList === true
    readonly property real zoneStart: app ? app.detectionZoneStart : 0
    readonly property real zoneEnd: app ? app.detectionZoneEnd : 1
    readonly property real zoneIncrement: app && app.detectionZoneIncrement > 0 ? app.detectionZoneIncrement : 0.1
    readonly property real normalizedMin: app && app.minimumNormalizedMovementValue !== undefined
                                          ? app.minimumNormalizedMovementValue : -20
    readonly property real normalizedMax: app && app.maximumNormalizedMovementValue !== undefined
                                          ? app.maximumNormalizedMovementValue : 30

    function listShown() {
        if (!app)
            return false;
        return stateFamily === "presence" ? Pages.presenceListShown(app.state) : Pages.adultListShown(app.state);
    }
    function resetCharts() {
        normalizedBars.reset();
        normalizedMaps.reset();
        movementBars.reset();
        movementMaps.reset();
    }

    title: "Sarvik Movement"
    helpTitle: "Movement"
    helpText: "NORMALIZED MOVEMENT shows the movement per range bin as range-adjusted power on a logarithmic "
              + "scale (dB), slow and fast.\n\nMOVEMENT shows, per range bin, the percentage of cells whose "
              + "movement lies above the detection threshold, slow and fast.\n\nThe intensity histories show "
              + "the past lists as heat maps."
    frameText: Pages.frameText(app ? app.frameCounter : 0)

    Connections {
        target: window.visible ? window.app : null
        ignoreUnknownSignals: true
        function onMovementSlowFastListChanged(movementSlowList, movementFastList) {
            if (!window.listShown())
                return;
            movementBars.show(movementSlowList, movementFastList);
            movementMaps.show(movementSlowList, movementFastList);
        }
        function onNormalizedMovementSlowFastListChanged(normalizedMovementSlowList, normalizedMovementFastList) {
            if (!window.listShown() || !window.showsNormalized)
                return;
            normalizedBars.show(normalizedMovementSlowList, normalizedMovementFastList);
            normalizedMaps.show(normalizedMovementSlowList, normalizedMovementFastList);
        }
    }
    Connections {
        target: window.device && window.device.isPlaybackDevice === true ? window.device : null
        ignoreUnknownSignals: true
        function onPlaybackRateChanged() {
            window.resetCharts();
        }
        function onPlaybackPositionUpdatedManually() {
            window.resetCharts();
        }
        function onPlaybackStateChanged() {
            if (window.device.playbackState === 1)
                window.resetCharts();
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 6

        ChartSection {
            objectName: "normalizedBarsSection"
            description: "NORMALIZED MOVEMENT SLOW/FAST"
            visible: window.showsNormalized
            MovementBars {
                id: normalizedBars
                objectName: "normalizedBars"
                anchors.fill: parent
                prefix: "NORMALIZED MOVEMENT"
                zoneStart: window.zoneStart
                zoneEnd: window.zoneEnd
                zoneIncrement: window.zoneIncrement
                minValue: window.normalizedMin
                maxValue: window.normalizedMax
            }
        }
        ChartSection {
            objectName: "normalizedMapsSection"
            description: "NORMALIZED MOVEMENT INTENSITY HISTORY"
            visible: window.showsNormalized
            MovementHeatMaps {
                id: normalizedMaps
                objectName: "normalizedMaps"
                anchors.fill: parent
                prefix: "NORMALIZED MOVEMENT"
                zoneStart: window.zoneStart
                zoneEnd: window.zoneEnd
                zoneIncrement: window.zoneIncrement
                minValue: window.normalizedMin
                maxValue: window.normalizedMax
            }
        }
        ChartSection {
            objectName: "movementBarsSection"
            description: "MOVEMENT SLOW/FAST"
            MovementBars {
                id: movementBars
                objectName: "movementBars"
                anchors.fill: parent
                zoneStart: window.zoneStart
                zoneEnd: window.zoneEnd
                zoneIncrement: window.zoneIncrement
            }
        }
        ChartSection {
            objectName: "movementMapsSection"
            description: "MOVEMENT INTENSITY HISTORY"
            MovementHeatMaps {
                id: movementMaps
                objectName: "movementMaps"
                anchors.fill: parent
                zoneStart: window.zoneStart
                zoneEnd: window.zoneEnd
                zoneIncrement: window.zoneIncrement
            }
        }
    }
}
