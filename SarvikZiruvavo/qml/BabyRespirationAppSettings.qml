// The baby respiration application's settings: the adult page.
import QtQuick 2.15
import "../js/settings.js" as Settings

AdultRespirationAppSettings {
    helpTitle: Settings.helpTitles["Baby Respiration"]
}
