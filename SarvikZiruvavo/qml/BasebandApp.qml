// The baseband page: the frames themselves show in the baseband window, which
// the control panel opens.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global

AppPage {
    id: page

    readonly property bool isZ7App: true

    helpTitle: "Baseband detailed view"
    options.settingsUrl: "qrc:///qml/BasebandAppSettings.qml"
    options.signalQuality: "N/A"

    Text {
        objectName: "nothingText"
        Layout.alignment: Qt.AlignCenter
        text: "Nothing"
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: 20
    }
}
