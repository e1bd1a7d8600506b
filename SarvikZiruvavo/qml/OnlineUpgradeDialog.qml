// Tells of a newer release of the program: title, version, description and
// a link to the release's web page, which opens in the system's browser.
// "OK" closes it and runs the callback given to open(). Modal.
import QtQuick 2.15
import "../js/global.js" as Global

Item {
    id: onlineUpgradeDialog

    property string title: ""
    property string version: ""
    property string description: ""
    property string webpageUrl: ""
    property var callback: null
    readonly property bool isOpen: state === "open"
    readonly property string moreInformationText: "For more information, " + "<a href=\"" + webpageUrl
                                                  + "\">click here</a>" + "."

    signal accepted

    // Opens a link; a test may put its own function here.
    property var openUrl: function (url) {
        Qt.openUrlExternally(url);
    }

    function open(title, version, description, webpageurl, callback) {
        onlineUpgradeDialog.title = title;
        onlineUpgradeDialog.version = version;
        onlineUpgradeDialog.description = description;
        onlineUpgradeDialog.webpageUrl = webpageurl;
        onlineUpgradeDialog.callback = callback === undefined ? null : callback;
        state = "open";
    }
    function close() {
        if (!isOpen)
            return;
        var pending = callback;
        callback = null;
        state = "";
        if (typeof pending === "function")
            pending(true);
        accepted();
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
        width: Math.min(parent.width - 40, 520)
        height: column.implicitHeight + 48
        anchors.centerIn: parent
        radius: 10
        color: Global.colorSecondaryPurple
        border.color: Global.colorPrimaryWhite
        border.width: 2
        Column {
            id: column
            anchors.fill: parent
            anchors.margins: 24
            spacing: 16
            Text {
                objectName: "upgradeTitle"
                width: parent.width
                text: onlineUpgradeDialog.title
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 22
                font.bold: true
                wrapMode: Text.Wrap
            }
            Text {
                objectName: "upgradeVersion"
                width: parent.width
                text: onlineUpgradeDialog.version
                textFormat: Text.PlainText
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 18
                wrapMode: Text.Wrap
            }
            Text {
                objectName: "upgradeDescription"
                width: parent.width
                text: onlineUpgradeDialog.description
                textFormat: Text.PlainText
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 16
                wrapMode: Text.Wrap
            }
            Text {
                objectName: "upgradeLink"
                width: parent.width
                text: onlineUpgradeDialog.moreInformationText
                textFormat: Text.StyledText
                color: Global.colorPrimaryWhite
                linkColor: Global.colorSecondaryCyan
                font.family: Global.fontFamily
                font.pixelSize: 16
                wrapMode: Text.Wrap
                onLinkActivated: onlineUpgradeDialog.openUrl(link)
            }
            StyledButton {
                objectName: "upgradeOkButton"
                anchors.right: parent.right
                text: "OK"
                isDefault: true
                onClicked: onlineUpgradeDialog.close()
            }
        }
    }

    states: State {
        name: "open"
        PropertyChanges { target: onlineUpgradeDialog; opacity: 1 }
    }
    transitions: Transition {
        NumberAnimation { property: "opacity"; duration: 200 }
    }
}
