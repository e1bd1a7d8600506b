// The presence application's settings, and those of the respiration family
// built on it: detection, the module options, the movement chart's history,
// sleep analysis where offered, and the log settings. A recording fixes the
// module settings.
import QtQuick 2.15
import "../js/settings.js" as Settings

SettingsPanel {
    id: page

    presenceFamily: true
    helpTitle: Settings.helpTitles["Presence"]
    helpText: Settings.helpText([Settings.zoneHelp, Settings.sensitivityHelp, Settings.ledHelp(Settings.ledLabels),
                                 Settings.presenceOptionsHelp, Settings.presenceHistoryHelp]
                                .concat(sleepAnalysis.offered ? [Settings.sleepAnalysisHelp] : [])
                                .concat([Settings.logHelp]))

    DetectionSettings {
        app: page.app
        readOnly: page.isPlayback
    }
    PresenceOptionsSettings {
        app: page.app
        device: page.device
        readOnly: page.isPlayback
    }
    PresenceHistorySettings {
        app: page.app
    }
    SleepAnalysisSettings {
        id: sleepAnalysis
        app: page.app
        device: page.device
    }
    LogSettings {
        app: page.app
        device: page.device
    }
}
