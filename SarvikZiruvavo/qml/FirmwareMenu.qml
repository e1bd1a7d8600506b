// The firmware images that fit the active device, newest first, with their
// release notes; "Install" asks once more and then starts the installation,
// whose progress the application menu below shows.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/menus.js" as Menus

Item {
    id: firmwareMenu

    readonly property string helpTitle: Menus.firmwareMenuHelpTitle
    readonly property QtObject device: deviceManager ? deviceManager.activeDevice : null
    readonly property var images: deviceManager ? deviceManager.firmwareImages : []
    readonly property string deviceVersion: device ? device.deviceFWVersion : ""
    readonly property string latestVersion: device ? device.latestFWVersion : ""
    property int selectedIndex: -1
    readonly property string selectedVersion: selectedIndex >= 0 && selectedIndex < images.length
                                              ? images[selectedIndex].version : ""

    function isCurrentPage() {
        return StackView.status === StackView.Active && !applicationWindow.navigationLocked;
    }
    function select(index) {
        if (isCurrentPage())
            selectedIndex = index;
    }
    // Asks whether to install the selected version; OK leaves this menu and
    // starts the installation.
    function askToInstall() {
        if (!isCurrentPage() || selectedVersion === "")
            return;
        var version = selectedVersion;
        var target = device;
        var view = StackView.view;
        dialog.cancelButtonVisible = true;
        dialog.open(Menus.installDialogTitle, Menus.installQuestion(version, latestVersion), function (accepted) {
            if (!accepted || !target)
                return;
            view.pop();
            target.installFirmware(version);
        });
    }

    Component.onCompleted: selectedIndex = Menus.initialFirmwareSelection(images.length, deviceVersion, latestVersion)

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: applicationWindow.marginSmall
        spacing: applicationWindow.innerMargin

        Text {
            objectName: "firmwareMenuText"
            Layout.fillWidth: true
            text: Menus.firmwareMenuText
            wrapMode: Text.Wrap
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: 16
        }

        MenuBackground {
            Layout.fillWidth: true
            Layout.fillHeight: true

            ListView {
                id: imageList
                objectName: "firmwareList"
                anchors.fill: parent
                anchors.margins: applicationWindow.marginMini
                clip: true
                spacing: 6
                model: firmwareMenu.images
                boundsBehavior: Flickable.StopAtBounds

                delegate: Rectangle {
                    objectName: "firmwareEntry" + index
                    width: imageList.width
                    height: entry.implicitHeight + 16
                    radius: 6
                    color: index === firmwareMenu.selectedIndex ? Global.colorSecondaryBlue : "transparent"
                    Column {
                        id: entry
                        x: 10
                        y: 8
                        width: parent.width - 20
                        spacing: 4
                        Text {
                            objectName: "firmwareLabel"
                            width: parent.width
                            text: Menus.firmwareEntryLabel(modelData.version, firmwareMenu.deviceVersion,
                                                           firmwareMenu.latestVersion)
                            color: Global.colorPrimaryWhite
                            font.family: Global.fontFamily
                            font.pixelSize: 18
                            font.bold: true
                        }
                        Text {
                            objectName: "firmwareNotes"
                            width: parent.width
                            text: modelData.releasenotes
                            textFormat: Text.PlainText
                            wrapMode: Text.Wrap
                            color: Global.colorSecondaryLightGrey
                            font.family: Global.fontFamily
                            font.pixelSize: 14
                        }
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: firmwareMenu.select(index)
                    }
                }
            }
        }

        StyledButton {
            objectName: "installButton"
            Layout.alignment: Qt.AlignHCenter
            text: Menus.installButtonText
            isDefault: true
            enabled: firmwareMenu.selectedVersion !== ""
            onClicked: firmwareMenu.askToInstall()
        }
    }
}
