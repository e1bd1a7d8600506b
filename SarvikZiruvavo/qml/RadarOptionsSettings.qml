// The raw-chip application's radar options: frequency band (fixed where the
// module cannot set it) and whether the radar sends radio-frequency samples
// or baseband.
import QtQuick 2.15
import "../js/settings.js" as Settings

Column {
    id: section

    property QtObject app: null
    property QtObject device: null
    property bool readOnly: false
    readonly property bool isModuleSection: true

    readonly property bool bandSupported: !!device && device.supportsFrequencyBandSetting === true

    function load() {
        if (!app)
            return;
        bandSwitch.value = Settings.frequencyBandIndex(app.frequencyBand);
        dataTypeSwitch.value = Settings.downConversionIndex(app.downConversion);
    }
    function reset() {
        bandSwitch.value = 0;
        dataTypeSwitch.value = 1;
    }
    function store() {
        if (!app)
            return;
        app.frequencyBand = Settings.frequencyBandOf(bandSwitch.currentIndex);
        app.downConversion = dataTypeSwitch.currentIndex;
    }

    width: parent ? parent.width : implicitWidth

    Item {
        width: parent.width
        height: content.implicitHeight

        Column {
            id: content
            width: parent.width
            spacing: 8

            SettingsLabel {
                enabled: section.bandSupported
                text: Settings.frequencyBandText
            }
            StyledTriSwitch {
                id: bandSwitch
                objectName: "frequencyBandSwitch"
                width: parent.width
                enabled: section.bandSupported
                labels: Settings.frequencyBandLabels
                value: 0
            }
            SettingsLabel { text: Settings.radarDataTypeText }
            StyledTriSwitch {
                id: dataTypeSwitch
                objectName: "radarDataTypeSwitch"
                width: parent.width
                labels: Settings.radarDataTypeLabels
                value: 1
            }
        }
        PlaybackOverlay {
            objectName: "radarOptionsOverlay"
            visible: section.readOnly
        }
    }
}
