// "UI Settings" of the respiration pages: how many seconds the rate, the
// breathing pattern and the distance charts show, and on the sleep page the
// movement chart too. The application keeps milliseconds.
import QtQuick 2.15
import "../js/settings.js" as Settings

Column {
    id: section

    property QtObject app: null
    property bool showMovementHistory: false

    function load() {
        if (!app)
            return;
        rpmSlider.value = Settings.historySeconds(app.rpmHistory, rpmSlider.range);
        patternSlider.value = Settings.historySeconds(app.objectMovementHistory, patternSlider.range);
        distanceSlider.value = Settings.historySeconds(app.objectDistanceHistory, distanceSlider.range);
        if (showMovementHistory)
            movementSlider.value = Settings.historySeconds(app.movementSlowFastHistory, movementSlider.range);
    }
    function reset() {
        [rpmSlider, patternSlider, distanceSlider, movementSlider].forEach(function (slider) {
            slider.value = slider.range.fallback;
        });
    }
    function store() {
        if (!app)
            return;
        app.rpmHistory = Settings.historyMilliseconds(rpmSlider.value);
        app.objectMovementHistory = Settings.historyMilliseconds(patternSlider.value);
        app.objectDistanceHistory = Settings.historyMilliseconds(distanceSlider.value);
        if (showMovementHistory)
            app.movementSlowFastHistory = Settings.historyMilliseconds(movementSlider.value);
    }

    width: parent ? parent.width : implicitWidth
    spacing: 8

    SettingsSectionHeader {
        width: parent.width
        text: Settings.uiSectionTitle
    }
    SettingsLabel { text: "RPM History" }
    HistorySlider {
        id: rpmSlider
        objectName: "rpmHistorySlider"
        range: Settings.rpmHistoryRange
    }
    SettingsLabel { text: "Breathing Pattern History" }
    HistorySlider {
        id: patternSlider
        objectName: "breathingPatternHistorySlider"
        range: Settings.breathingPatternHistoryRange
    }
    SettingsLabel { text: "Distance History" }
    HistorySlider {
        id: distanceSlider
        objectName: "distanceHistorySlider"
        range: Settings.distanceHistoryRange
    }
    SettingsLabel {
        visible: section.showMovementHistory
        text: "Movement slow/fast history"
    }
    HistorySlider {
        id: movementSlider
        objectName: "movementHistorySlider"
        visible: section.showMovementHistory
        range: Settings.sleepMovementHistoryRange
    }
}
