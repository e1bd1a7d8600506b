// The baseband application's settings: the detection zone and the log
// settings.
import QtQuick 2.15
import "../js/settings.js" as Settings

SettingsPanel {
    id: page

    helpTitle: Settings.helpTitles["Baseband"]
    helpText: Settings.helpText([Settings.zoneHelp, Settings.logHelp])

    DetectionSettings {
        app: page.app
        showSensitivity: false
        showLed: false
    }
    LogSettings {
        app: page.app
        device: page.device
    }
}
