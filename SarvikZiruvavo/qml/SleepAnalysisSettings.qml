// "Sleep Analysis Settings", offered with the sleep-analysis plug-in for the
// adult and baby applications of a module that reports vital signs: the
// hypnogram's length in minutes (the application counts 30-second epochs).
import QtQuick 2.15
import "../js/settings.js" as Settings

Column {
    id: section

    property QtObject app: null
    property QtObject device: null
    readonly property bool offered: Settings.offersSleepAnalysis(
        typeof deviceManager !== "undefined" && deviceManager && deviceManager.hasSleepAnalysisPlugin,
        app ? app.appName : "", !!device && device.supportsVitalSignsData)

    function load() {
        if (app && offered)
            lengthSlider.value = Settings.hypnogramMinutes(app.hypnogramBufferLength);
    }
    function reset() {
        lengthSlider.value = Settings.hypnogramRange.fallback;
    }
    function store() {
        if (app && offered)
            app.hypnogramBufferLength = Settings.hypnogramEpochs(lengthSlider.value);
    }

    visible: offered
    width: parent ? parent.width : implicitWidth
    spacing: 8

    SettingsSectionHeader {
        width: parent.width
        text: Settings.sleepAnalysisSectionTitle
    }
    SettingsLabel { text: Settings.hypnogramLengthText }
    HistorySlider {
        id: lengthSlider
        objectName: "hypnogramLengthSlider"
        range: Settings.hypnogramRange
        type: Settings.minutesUnit
    }
}
