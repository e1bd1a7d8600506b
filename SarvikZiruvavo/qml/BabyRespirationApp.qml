// The baby respiration page: the adult page under its own name.
import QtQuick 2.15

AdultRespirationApp {
    helpTitle: "Baby Respiration detailed view"
    options.settingsUrl: "qrc:///qml/BabyRespirationAppSettings.qml"
}
