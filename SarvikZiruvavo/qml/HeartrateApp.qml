// The heart-rate page: the adult page with the heart-rate sections shown.
import QtQuick 2.15

AdultRespirationApp {
    helpTitle: "Heartrate detailed view"
    showHeartrateSections: true
    options.settingsUrl: "qrc:///qml/HeartrateAppSettings.qml"
}
