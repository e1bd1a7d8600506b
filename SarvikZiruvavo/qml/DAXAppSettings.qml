// The raw-chip application's settings: the detection zone, the radar options
// and the log settings. A recording fixes the detection and radar settings,
// and "Defaults" then resets the frame alone.
import QtQuick 2.15
import "../js/settings.js" as Settings

SettingsPanel {
    id: page

    playbackResetsFrameOnly: true
    helpTitle: Settings.helpTitles["DAX"]
    helpText: Settings.helpText([Settings.zoneHelp, Settings.radarOptionsHelp, Settings.logHelp])

    DetectionSettings {
        app: page.app
        showSensitivity: false
        showLed: false
        readOnly: page.isPlayback
    }
    RadarOptionsSettings {
        app: page.app
        device: page.device
        readOnly: page.isPlayback
    }
    LogSettings {
        app: page.app
        device: page.device
    }
}
