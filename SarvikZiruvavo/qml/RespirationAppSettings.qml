// The respiration application's settings: detection, the chart histories
// and the log settings.
import QtQuick 2.15
import "../js/settings.js" as Settings

SettingsPanel {
    id: page

    property var ledLabels: Settings.respirationLedLabels
    property bool showMovementHistory: false

    helpTitle: Settings.helpTitles["Respiration"]
    helpText: Settings.helpText([Settings.zoneHelp, Settings.sensitivityHelp, Settings.ledHelp(ledLabels),
                                 Settings.respirationHistoryHelp, Settings.logHelp])

    DetectionSettings {
        app: page.app
        ledLabels: page.ledLabels
    }
    RespirationHistorySettings {
        app: page.app
        showMovementHistory: page.showMovementHistory
    }
    LogSettings {
        app: page.app
        device: page.device
    }
}
