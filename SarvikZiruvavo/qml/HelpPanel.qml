// The help panel: a title and a text over the window; a click closes it.
// Fades in and out.
import QtQuick 2.15
import "../js/global.js" as Global

Item {
    id: help

    property string title: ""
    property string text: ""
    readonly property bool isOpen: state === "open"

    function show(title, text) {
        help.title = title;
        help.text = text;
        state = "open";
    }
    function hide() {
        state = "";
    }

    opacity: 0
    visible: opacity > 0

    Rectangle {
        anchors.fill: parent
        color: Global.colorSecondaryPurple
        opacity: 0.98
    }
    Flickable {
        anchors.fill: parent
        anchors.margins: 30
        contentHeight: column.implicitHeight
        clip: true
        Column {
            id: column
            width: parent.width
            spacing: 20
            Text {
                objectName: "helpTitle"
                width: parent.width
                text: help.title
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 24
                font.bold: true
                wrapMode: Text.Wrap
            }
            Text {
                objectName: "helpText"
                width: parent.width
                text: help.text
                textFormat: Text.PlainText
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 16
                wrapMode: Text.Wrap
            }
        }
    }
    MouseArea {
        anchors.fill: parent
        enabled: help.isOpen
        onClicked: help.hide()
        onWheel: wheel.accepted = false
    }

    states: State {
        name: "open"
        PropertyChanges { target: help; opacity: 1 }
    }
    transitions: Transition {
        NumberAnimation { property: "opacity"; duration: 200 }
    }
}
