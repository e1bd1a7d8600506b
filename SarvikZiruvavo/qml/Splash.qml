// Covers the window in its background colour with the tall logo and takes
// every click while it shows; after holdTime it fades out.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/shell.js" as Shell

Rectangle {
    id: splash

    property real scaleFactor: 1
    property int holdTime: 1000
    property int fadeTime: 250
    readonly property bool done: opacity === 0

    // Ends the splash at once.
    function dismiss() {
        fade.stop();
        opacity = 0;
    }

    color: Global.colorSecondaryPurple
    visible: opacity > 0

    Image {
        anchors.centerIn: parent
        height: Shell.splashLogoHeight(splash.scaleFactor)
        width: height
        sourceSize.height: height
        fillMode: Image.PreserveAspectFit
        source: "qrc:///images/sarvik_logo_tall.png"
    }
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
        onWheel: wheel.accepted = true
    }
    SequentialAnimation on opacity {
        id: fade
        running: true
        PauseAnimation { duration: splash.holdTime }
        NumberAnimation { to: 0; duration: splash.fadeTime }
    }
}
