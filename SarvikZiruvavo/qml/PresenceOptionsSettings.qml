// The presence family's module options: frequency band, I/O pin control and
// the two noise maps. An option the module lacks is marked not supported and
// cannot be changed.
import QtQuick 2.15
import "../js/settings.js" as Settings

Column {
    id: section

    property QtObject app: null
    property QtObject device: null
    property bool readOnly: false
    readonly property bool isModuleSection: true

    readonly property bool bandSupported: !!device && device.supportsFrequencyBandSetting === true
    readonly property bool storedMapSupported: !!device && device.supportsStoredNoiseMap === true
    readonly property bool defaultMapSupported: !!device && device.supportsDefaultNoiseMap === true

    function load() {
        if (!app)
            return;
        bandSwitch.value = Settings.frequencyBandIndex(app.frequencyBand);
        ioPinSwitch.value = app.ioPinControlEnabled ? 1 : 0;
        storedMapSwitch.value = app.useStoredNoiseMap ? 1 : 0;
        defaultMapSwitch.value = app.useDefaultNoiseMap ? 1 : 0;
    }
    function reset() {
        bandSwitch.value = 0;
        ioPinSwitch.value = 0;
        storedMapSwitch.value = 0;
        defaultMapSwitch.value = 0;
    }
    function store() {
        if (!app)
            return;
        app.frequencyBand = Settings.frequencyBandOf(bandSwitch.currentIndex);
        app.ioPinControlEnabled = ioPinSwitch.currentIndex === 1;
        app.useStoredNoiseMap = storedMapSwitch.currentIndex === 1;
        app.useDefaultNoiseMap = defaultMapSwitch.currentIndex === 1;
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
                objectName: "frequencyBandLabel"
                enabled: section.bandSupported
                text: Settings.optionText(Settings.frequencyBandText, section.bandSupported)
            }
            StyledTriSwitch {
                id: bandSwitch
                objectName: "frequencyBandSwitch"
                width: parent.width
                enabled: section.bandSupported
                labels: Settings.frequencyBandLabels
                value: 0
            }
            SettingsLabel { text: Settings.ioPinControlText }
            StyledTriSwitch {
                id: ioPinSwitch
                objectName: "ioPinSwitch"
                width: parent.width
                labels: Settings.ioPinControlLabels
                value: 0
            }
            SettingsLabel {
                objectName: "storedNoiseMapLabel"
                enabled: section.storedMapSupported
                text: Settings.optionText(Settings.storedNoiseMapText, section.storedMapSupported)
            }
            StyledTriSwitch {
                id: storedMapSwitch
                objectName: "storedNoiseMapSwitch"
                width: parent.width
                enabled: section.storedMapSupported
                labels: Settings.onOffLabels
                value: 0
            }
            SettingsLabel {
                objectName: "defaultNoiseMapLabel"
                enabled: section.defaultMapSupported
                text: Settings.optionText(Settings.defaultNoiseMapText, section.defaultMapSupported)
            }
            StyledTriSwitch {
                id: defaultMapSwitch
                objectName: "defaultNoiseMapSwitch"
                width: parent.width
                enabled: section.defaultMapSupported
                labels: Settings.onOffLabels
                value: 0
            }
        }
        PlaybackOverlay {
            objectName: "presenceOptionsOverlay"
            visible: section.readOnly
        }
    }
}
