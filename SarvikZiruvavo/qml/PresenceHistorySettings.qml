// "UI Settings" of the presence family: how many seconds the movement charts
// show. The application keeps milliseconds.
import QtQuick 2.15
import "../js/settings.js" as Settings

Column {
    id: section

    property QtObject app: null

    function load() {
        if (app)
            historySlider.value = Settings.historySeconds(app.movementSlowFastHistory, historySlider.range);
    }
    function reset() {
        historySlider.value = historySlider.range.fallback;
    }
    function store() {
        if (app)
            app.movementSlowFastHistory = Settings.historyMilliseconds(historySlider.value);
    }

    width: parent ? parent.width : implicitWidth
    spacing: 8

    SettingsSectionHeader {
        width: parent.width
        text: Settings.uiSectionTitle
    }
    SettingsLabel { text: "History" }
    HistorySlider {
        id: historySlider
        objectName: "presenceHistorySlider"
        range: Settings.presenceHistoryRange
    }
}
