// The first page: the modules found, led by the entry that plays back a
// recording. Choosing a module opens its application menu; choosing the
// playback entry first asks for a recording.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtQuick.Dialogs 1.3
import "../js/global.js" as Global
import "../js/menus.js" as Menus

Item {
    id: deviceMenu

    readonly property bool isDeviceMenu: true
    readonly property string helpTitle: Menus.deviceMenuHelpTitle
    readonly property string helpText: Menus.deviceMenuHelpText(deviceManager ? deviceManager.swInfo : "")
    readonly property var devices: deviceManager ? deviceManager.devices : []
    readonly property QtObject activeDevice: deviceManager ? deviceManager.activeDevice : null
    // The application menu; a test may put its own here.
    property string appMenuPage: Qt.resolvedUrl("AppMenu.qml")
    // The file dialog for recordings, made when first needed.
    readonly property var recordingDialog: recordingDialogLoader.item

    function isCurrentPage() {
        return StackView.status === StackView.Active && !applicationWindow.navigationLocked;
    }

    // A click on row index of the list.
    function chooseDevice(index) {
        if (!deviceManager || !isCurrentPage() || activeDevice)
            return;
        deviceManager.setDeviceActivatedAt(index, true);
        var device = deviceManager.activeDevice;
        if (!device)
            return;
        if (Menus.isPlaybackType(device.deviceType)) {
            recordingDialogLoader.active = true;
            recordingDialog.folder = Menus.folderUrl(device.defaultLogPath);
            recordingDialog.open();
        } else {
            StackView.view.push(appMenuPage);
        }
    }

    // The file dialog's answers.
    function openRecording(fileUrl) {
        if (!deviceManager)
            return;
        var device = deviceManager.activeDevice;
        if (!device || !device.isPlaybackDevice) {
            deviceManager.setDeviceActivatedAt(0, true);
            device = deviceManager.activeDevice;
        }
        if (!device)
            return;
        if (device.setRecordingUrl(fileUrl)) {
            StackView.view.push(appMenuPage);
            return;
        }
        var error = device.recordingErrorString();
        deviceManager.clearActiveDevice();
        dialog.open("Error", Menus.recordingErrorText(error));
    }
    function cancelRecording() {
        if (deviceManager)
            deviceManager.clearActiveDevice();
    }

    // Starts the device search, the version check and the plug-in loading.
    Component.onCompleted: {
        if (deviceManager)
            deviceManager.onQmlCompleted();
    }

    Text {
        id: heading
        objectName: "deviceMenuHeading"
        anchors.top: parent.top
        anchors.topMargin: applicationWindow.marginSmall
        anchors.horizontalCenter: parent.horizontalCenter
        text: Menus.deviceMenuHeading
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: applicationWindow.fontSizeMedium
        font.bold: true
        font.letterSpacing: 2
    }

    MenuBackground {
        anchors.top: heading.bottom
        anchors.topMargin: applicationWindow.innerMargin
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.margins: applicationWindow.marginSmall

        ListView {
            id: deviceList
            objectName: "deviceList"
            anchors.fill: parent
            anchors.margins: applicationWindow.marginMini
            clip: true
            spacing: 4
            model: deviceMenu.devices
            boundsBehavior: Flickable.StopAtBounds

            delegate: Rectangle {
                objectName: "deviceRow" + index
                readonly property QtObject device: modelData
                readonly property bool isActive: !!device && device.isDeviceActive === true
                width: deviceList.width
                height: Math.max(72, names.implicitHeight + 20)
                radius: 6
                color: isActive ? Global.colorSecondaryBlue : (rowMouse.pressed ? Qt.lighter(Global.colorSecondaryPurple, 1.4)
                                                                               : "transparent")

                Image {
                    id: icon
                    anchors.left: parent.left
                    anchors.leftMargin: applicationWindow.marginMini
                    anchors.verticalCenter: parent.verticalCenter
                    width: 48
                    height: 48
                    sourceSize.width: 48
                    sourceSize.height: 48
                    fillMode: Image.PreserveAspectFit
                    source: device ? Menus.deviceIconSource(device.deviceType) : ""
                }
                Column {
                    id: names
                    anchors.left: icon.right
                    anchors.leftMargin: applicationWindow.innerMargin
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 4
                    Text {
                        objectName: "deviceName"
                        width: parent.width
                        text: device ? device.deviceName : ""
                        color: Global.colorPrimaryWhite
                        font.family: Global.fontFamily
                        font.pixelSize: 22
                        elide: Text.ElideRight
                    }
                    Text {
                        objectName: "deviceInfo"
                        width: parent.width
                        text: device ? device.deviceInfo : ""
                        color: Global.colorSecondaryLightGrey
                        font.family: Global.fontFamily
                        font.pixelSize: 12
                        elide: Text.ElideRight
                    }
                }
                MouseArea {
                    id: rowMouse
                    anchors.fill: parent
                    onClicked: deviceMenu.chooseDevice(index)
                }
            }
        }

        Text {
            objectName: "noDeviceText"
            anchors.centerIn: parent
            width: parent.width - 2 * applicationWindow.marginSmall
            visible: deviceList.count === 0
            text: Menus.noDeviceText
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            color: Global.colorPrimaryWhite
            font.family: Global.fontFamily
            font.pixelSize: applicationWindow.fontSizeMedium
        }
    }

    Loader {
        id: recordingDialogLoader
        active: false
        sourceComponent: FileDialog {
            title: Menus.recordingDialogTitle
            nameFilters: [Menus.recordingNameFilter]
            selectExisting: true
            selectMultiple: false
            onAccepted: deviceMenu.openRecording(fileUrl)
            onRejected: deviceMenu.cancelRecording()
        }
    }
}
