// The message dialog: a title, a message, "OK" and, while
// cancelButtonVisible, "CANCEL". open() fades it in while it slides down into
// place; either button closes it, runs the callback given to open() (with
// true for OK, false for CANCEL), then emits accepted or rejected. Modal:
// nothing under it takes input while it shows. cancelButtonVisible returns to
// false when it closes, so that the next message has "OK" alone.
import QtQuick 2.15
import "../js/global.js" as Global

Item {
    id: dialog

    property string title: "Message"
    property string message: ""
    property bool cancelButtonVisible: false
    property real scaleFactor: 1
    property var callback: null
    readonly property bool isOpen: state === "open"

    signal accepted
    signal rejected

    function open(title, message, callback) {
        dialog.title = title === undefined ? "Message" : title;
        dialog.message = message === undefined ? "" : message;
        dialog.callback = callback === undefined ? null : callback;
        state = "open";
    }

    function close(ok) {
        if (!isOpen)
            return;
        var pending = callback;
        callback = null;
        cancelButtonVisible = false;
        state = "";
        if (typeof pending === "function")
            pending(ok);
        if (ok)
            accepted();
        else
            rejected();
    }

    opacity: 0
    visible: opacity > 0

    Rectangle {
        anchors.fill: parent
        color: "#000000"
        opacity: 0.5
    }
    MouseArea {
        anchors.fill: parent
        hoverEnabled: true
        acceptedButtons: Qt.AllButtons
        onWheel: wheel.accepted = true
    }

    Rectangle {
        id: frame
        objectName: "dialogFrame"
        width: Math.min(parent.width - 40, 520)
        height: column.implicitHeight + 48
        anchors.horizontalCenter: parent.horizontalCenter
        y: (parent.height - height) / 2 + slide
        property real slide: -80 * dialog.scaleFactor
        radius: 10
        color: Global.colorSecondaryPurple
        border.color: Global.colorPrimaryWhite
        border.width: 2

        Column {
            id: column
            anchors.fill: parent
            anchors.margins: 24
            spacing: 20
            Text {
                objectName: "dialogTitle"
                width: parent.width
                text: dialog.title
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 22
                font.bold: true
                wrapMode: Text.Wrap
            }
            Text {
                objectName: "dialogMessage"
                width: parent.width
                text: dialog.message
                textFormat: Text.PlainText
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 16
                wrapMode: Text.Wrap
            }
            Row {
                anchors.right: parent.right
                spacing: 12
                StyledButton {
                    objectName: "dialogCancelButton"
                    text: "CANCEL"
                    visible: dialog.cancelButtonVisible
                    onClicked: dialog.close(false)
                }
                StyledButton {
                    objectName: "dialogOkButton"
                    text: "OK"
                    isDefault: true
                    onClicked: dialog.close(true)
                }
            }
        }
    }

    states: State {
        name: "open"
        PropertyChanges { target: dialog; opacity: 1 }
        PropertyChanges { target: frame; slide: 0 }
    }
    transitions: Transition {
        NumberAnimation { properties: "opacity,slide"; duration: 250; easing.type: Easing.OutCubic }
    }
}
