// "Module Settings": the detection zone, and where the page has them the
// sensitivity and the LED control. Values come from the active application
// as the widgets offer them (a hand-edited settings file is brought into
// range before it reaches a widget or the module).
import QtQuick 2.15
import QtQuick.Controls 2.15
import "../js/settings.js" as Settings

Column {
    id: section

    property QtObject app: null
    property bool showSensitivity: true
    property bool showLed: true
    property var ledLabels: Settings.ledLabels
    // Covered while a recording fixes these settings.
    property bool readOnly: false
    readonly property bool isModuleSection: true

    readonly property real zoneMin: app ? Number(app.detectionZoneMin) : 0
    readonly property real zoneMax: app ? Number(app.detectionZoneMax) : 1
    readonly property real zoneStep: app && app.detectionZoneIncrement > 0 ? Number(app.detectionZoneIncrement) : 0.01
    readonly property real zoneMinLength: app ? Number(app.detectionZoneMinLength) : 0
    readonly property real zoneMaxLength: app ? Number(app.detectionZoneMaxLength) : 0

    // Sets a valid zone: each handle moves only where the other lets it,
    // so the handle that moves away from the other goes first.
    function setZone(zone) {
        if (zone[0] > zoneSlider.second.value) {
            zoneSlider.second.value = zone[1];
            zoneSlider.first.value = zone[0];
        } else {
            zoneSlider.first.value = zone[0];
            zoneSlider.second.value = zone[1];
        }
    }
    function load() {
        if (!app)
            return;
        setZone(Settings.zoneValues(app.detectionZoneStart, app.detectionZoneEnd, zoneMin, zoneMax, zoneStep,
                                    zoneMinLength, zoneMaxLength));
        var s = Settings.sensitivityRange;
        sensitivitySlider.value = Settings.sliderValue(app.sensitivity, s.from, s.to, s.step, s.fallback);
        ledSwitch.value = Settings.choiceIndex(app.ledControl, ledLabels.length, Settings.defaultLedControl);
    }
    function reset() {
        setZone(Settings.defaultZone(zoneMin, zoneMax, zoneMaxLength));
        sensitivitySlider.value = Settings.sensitivityRange.fallback;
        ledSwitch.value = Settings.defaultLedControl;
    }
    function store() {
        if (!app)
            return;
        // Snapping to a step such as 0.1 leaves rounding errors behind.
        app.detectionZoneStart = Math.round(zoneSlider.first.value * 1e9) / 1e9;
        app.detectionZoneEnd = Math.round(zoneSlider.second.value * 1e9) / 1e9;
        if (showSensitivity)
            app.sensitivity = Math.round(sensitivitySlider.value);
        if (showLed)
            app.ledControl = ledSwitch.currentIndex;
    }

    width: parent ? parent.width : implicitWidth
    spacing: 8

    SettingsSectionHeader {
        width: parent.width
        text: Settings.moduleSectionTitle
    }
    Item {
        width: parent.width
        height: content.implicitHeight

        Column {
            id: content
            width: parent.width
            spacing: 8

            SettingsLabel { text: Settings.detectionZoneText }
            StyledRangeSlider {
                id: zoneSlider
                objectName: "zoneSlider"
                width: parent.width
                from: section.zoneMin
                to: section.zoneMax
                stepSize: section.zoneStep
                minimumLength: section.zoneMinLength
                maximumLength: section.zoneMaxLength
                fixed: 2
                type: "m"
            }
            SettingsLabel {
                visible: section.showSensitivity
                text: Settings.sensitivityText
            }
            StyledSlider {
                id: sensitivitySlider
                objectName: "sensitivitySlider"
                visible: section.showSensitivity
                width: parent.width
                from: Settings.sensitivityRange.from
                to: Settings.sensitivityRange.to
                stepSize: Settings.sensitivityRange.step
                snapMode: Slider.SnapAlways
                value: Settings.sensitivityRange.fallback
            }
            SettingsLabel {
                visible: section.showLed
                text: Settings.ledControlText
            }
            StyledTriSwitch {
                id: ledSwitch
                objectName: "ledSwitch"
                visible: section.showLed
                width: parent.width
                labels: section.ledLabels
                value: Settings.defaultLedControl
            }
        }
        PlaybackOverlay {
            objectName: "moduleOverlay"
            visible: section.readOnly
        }
    }
}
