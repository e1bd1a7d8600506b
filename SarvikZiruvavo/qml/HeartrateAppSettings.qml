// The heart-rate application's settings: the presence page.
import QtQuick 2.15
import "../js/settings.js" as Settings

PresenceAppSettings {
    helpTitle: Settings.helpTitles["Heartrate"]
}
