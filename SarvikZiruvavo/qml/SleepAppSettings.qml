// The sleep application's settings: the respiration page with the movement
// chart's history and the plain LED levels.
import QtQuick 2.15
import "../js/settings.js" as Settings

RespirationAppSettings {
    helpTitle: Settings.helpTitles["Sleep"]
    ledLabels: Settings.ledLabels
    showMovementHistory: true
}
