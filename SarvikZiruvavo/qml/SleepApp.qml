// The sleep page: the respiration page with the movement section shown.
import QtQuick 2.15

RespirationApp {
    showMovementSection: true
    options.settingsUrl: "qrc:///qml/SleepAppSettings.qml"
}
