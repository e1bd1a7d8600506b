// The busy spinner: a turning glyph, one turn a second while it shows;
// show() and hide() fade it in and out.
import QtQuick 2.15
import "../js/global.js" as Global
import "../js/shell.js" as Shell

Item {
    id: spinner

    readonly property bool shown: state === "shown"

    function show() {
        state = "shown";
    }
    function hide() {
        state = "";
    }

    opacity: 0
    visible: opacity > 0

    Text {
        id: glyph
        anchors.centerIn: parent
        text: Shell.glyphSpinner
        color: Global.colorPrimaryWhite
        font.family: Shell.iconFontFamily
        font.pixelSize: 64
        NumberAnimation on rotation {
            from: 0
            to: 360
            duration: 1000
            loops: Animation.Infinite
            running: spinner.visible
        }
    }

    states: State {
        name: "shown"
        PropertyChanges { target: spinner; opacity: 1 }
    }
    transitions: Transition {
        NumberAnimation { property: "opacity"; duration: 200 }
    }
}
