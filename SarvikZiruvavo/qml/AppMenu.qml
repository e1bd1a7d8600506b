// The active device's applications, its firmware state and, while it
// upgrades, the upgrade's progress. Choosing an application opens its
// settings page.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/menus.js" as Menus

Item {
    id: appMenu

    readonly property string helpTitle: Menus.appMenuHelpTitle
    readonly property QtObject device: deviceManager ? deviceManager.activeDevice : null
    readonly property var apps: device && device.deviceApps ? device.deviceApps : []
    readonly property int appCount: apps.length
    readonly property bool upgrading: !!device && device.isDeviceUpgrading === true
    readonly property bool inSafeMode: !!device && device.inSafeMode === true
    // Where the applications' documents lie; a test may point it elsewhere.
    property string pageFolder: Menus.pageFolder
    property string firmwareMenuPage: Qt.resolvedUrl("FirmwareMenu.qml")
    // Once an upgrade has shown its status, the status stays.
    property bool upgradeInfoShown: false
    property real upgradeProgress: 0

    function isCurrentPage() {
        return StackView.status === StackView.Active && !applicationWindow.navigationLocked;
    }
    function chooseApp(index) {
        if (!device || !isCurrentPage() || index < 0 || index >= appCount)
            return;
        var appName = apps[index].appName;
        device.setDeviceAppActivatedAt(index, true);
        StackView.view.push(Menus.appSettingsPage(pageFolder, appName), { "initial": true });
    }
    function openFirmwareMenu() {
        if (isCurrentPage())
            StackView.view.push(firmwareMenuPage);
    }

    onUpgradingChanged: {
        if (upgrading)
            upgradeInfoShown = true;
    }
    Component.onCompleted: {
        if (upgrading)
            upgradeInfoShown = true;
    }

    Connections {
        target: appMenu.device
        ignoreUnknownSignals: true
        function onDeviceUpgradeProgress(percent) {
            appMenu.upgradeProgress = percent;
        }
    }

    StyledScrollView {
        anchors.fill: parent
        anchors.margins: applicationWindow.marginSmall

        ColumnLayout {
            width: parent.width
            spacing: applicationWindow.innerMargin

            Text {
                objectName: "appMenuHeading"
                Layout.fillWidth: true
                horizontalAlignment: Text.AlignHCenter
                text: appMenu.device ? appMenu.device.deviceName : ""
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: applicationWindow.fontSizeMedium
                font.bold: true
                wrapMode: Text.Wrap
            }

            GridLayout {
                id: appGrid
                objectName: "appGrid"
                Layout.fillWidth: true
                visible: !appMenu.inSafeMode && appMenu.appCount > 0
                columns: Menus.appGridColumns(appMenu.appCount)
                columnSpacing: applicationWindow.marginMini
                rowSpacing: applicationWindow.innerMargin
                Repeater {
                    model: appMenu.apps
                    IconButton {
                        objectName: "appButton" + index
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        Layout.alignment: Qt.AlignTop
                        iconSize: applicationWindow.iconSize
                        iconSource: Menus.appIconSource(modelData.appName)
                        label: modelData.descriptiveName
                        onClicked: appMenu.chooseApp(index)
                    }
                }
            }

            Text {
                objectName: "noProfileText"
                Layout.fillWidth: true
                visible: Menus.showsNoProfileText(appMenu.appCount, appMenu.upgrading,
                                                  applicationWindow.inPageTransition, appMenu.inSafeMode)
                text: Menus.noProfileText
                horizontalAlignment: Text.AlignHCenter
                wrapMode: Text.Wrap
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 16
            }

            ColumnLayout {
                objectName: "safeModeSection"
                Layout.fillWidth: true
                visible: appMenu.inSafeMode
                spacing: applicationWindow.innerMargin
                Text {
                    objectName: "safeModeText"
                    Layout.fillWidth: true
                    text: Menus.safeModeText()
                    wrapMode: Text.Wrap
                    color: Global.colorPrimaryWhite
                    font.family: Global.fontFamily
                    font.pixelSize: 16
                }
                StyledButton {
                    objectName: "safeModeOkButton"
                    Layout.alignment: Qt.AlignHCenter
                    text: "OK"
                    isDefault: true
                    onClicked: applicationWindow.goBack()
                }
            }

            ColumnLayout {
                objectName: "upgradeSection"
                Layout.fillWidth: true
                visible: appMenu.upgradeInfoShown
                spacing: applicationWindow.marginMini
                Text {
                    objectName: "upgradeInfo"
                    Layout.fillWidth: true
                    text: appMenu.device ? appMenu.device.deviceUpgradeInfo : ""
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    horizontalAlignment: Text.AlignHCenter
                    color: Global.colorPrimaryWhite
                    font.family: Global.fontFamily
                    font.pixelSize: 16
                }
                ProgressBar {
                    id: upgradeProgressBar
                    objectName: "upgradeProgress"
                    Layout.fillWidth: true
                    visible: appMenu.upgrading
                    from: 0
                    to: 1
                    value: appMenu.upgradeProgress
                    background: Rectangle {
                        implicitHeight: 8
                        radius: 4
                        color: Global.colorSecondaryDarkGrey
                    }
                    contentItem: Item {
                        implicitHeight: 8
                        Rectangle {
                            width: upgradeProgressBar.visualPosition * parent.width
                            height: parent.height
                            radius: 4
                            color: Global.colorSecondaryCyan
                        }
                    }
                }
            }

            ColumnLayout {
                objectName: "firmwareSection"
                Layout.fillWidth: true
                visible: !!appMenu.device && appMenu.device.isPlaybackDevice !== true && !appMenu.upgrading
                spacing: applicationWindow.marginMini

                SettingsSectionHeader {
                    Layout.fillWidth: true
                    text: Menus.firmwareSectionHeading
                }
                Text {
                    objectName: "currentFirmware"
                    Layout.fillWidth: true
                    text: appMenu.device ? Menus.currentFirmwareText(appMenu.device.deviceFWVersion) : ""
                    color: Global.colorPrimaryWhite
                    font.family: Global.fontFamily
                    font.pixelSize: 16
                }
                Text {
                    objectName: "latestFirmware"
                    Layout.fillWidth: true
                    visible: !!appMenu.device && appMenu.device.latestFWVersion !== ""
                    text: appMenu.device ? Menus.latestFirmwareText(appMenu.device.latestFWVersion) : ""
                    color: Global.colorPrimaryWhite
                    font.family: Global.fontFamily
                    font.pixelSize: 16
                }
                Text {
                    id: bootloaderNote
                    objectName: "bootloaderNote"
                    readonly property bool applies: !!appMenu.device
                        && Menus.showsBootloaderNote(appMenu.device.isDaxDevice, appMenu.device.firmwareClass,
                                                     appMenu.device.inBootloaderMode())
                    Layout.fillWidth: true
                    visible: applies
                    text: Menus.bootloaderNoteText()
                    textFormat: Text.StyledText
                    wrapMode: Text.Wrap
                    color: Global.colorPrimaryWhite
                    linkColor: Global.colorSecondaryCyan
                    font.family: Global.fontFamily
                    font.pixelSize: 14
                    onLinkActivated: Qt.openUrlExternally(link)
                }
                Text {
                    objectName: "firmwareStateText"
                    Layout.fillWidth: true
                    visible: !bootloaderNote.applies && text !== ""
                    text: appMenu.device ? Menus.firmwareStateText(appMenu.device.firmwareState) : ""
                    textFormat: Text.PlainText
                    wrapMode: Text.Wrap
                    color: Global.colorPrimaryWhite
                    font.family: Global.fontFamily
                    font.pixelSize: 14
                }
                StyledButton {
                    objectName: "changeFirmwareButton"
                    Layout.alignment: Qt.AlignHCenter
                    visible: !!appMenu.device && appMenu.device.latestFWVersion !== ""
                    text: Menus.changeFirmwareButtonText
                    onClicked: appMenu.openFirmwareMenu()
                }
            }
        }
    }
}
