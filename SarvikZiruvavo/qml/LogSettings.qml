// "Log Settings": the folder recordings go to, their description, and one
// check box per output a recording may hold besides the application's own
// data, shown for the applications (and, on a playback device, the data of
// the recording) that have it. A check box flips its output at once; the
// folder and the description are stored with the others.
import QtQuick 2.15
import QtQuick.Dialogs 1.3
import "../js/settings.js" as Settings
import "../js/menus.js" as Menus

Column {
    id: section

    property QtObject app: null
    property QtObject device: null
    // Folder names with other than ASCII characters may not work there.
    property bool windowsPaths: Qt.platform.os === "windows"
    property string shownFolder: ""
    readonly property string appName: app ? app.appName : ""

    function shows(property) {
        var output = Settings.outputByProperty(property);
        return !!output && Settings.outputShown(output, appName, device);
    }
    function setOutput(property, value) {
        if (app && app[property] !== undefined && app[property] !== value)
            app[property] = value;
    }

    function load() {
        if (!app)
            return;
        shownFolder = app.logPath;
        descriptionField.text = app.logDescription;
    }
    function reset() {
        if (!app)
            return;
        shownFolder = app.defaultLogPath();
        descriptionField.text = "";
        var values = Settings.outputDefaults(appName, shows);
        for (var property in values)
            setOutput(property, values[property]);
    }
    function store() {
        if (!app)
            return;
        app.logPath = shownFolder;
        app.logDescription = descriptionField.text;
    }
    // The folder dialog's answer.
    function folderChosen(url) {
        if (!app)
            return;
        app.setLogUrl(url);
        shownFolder = app.logPath;
        if (windowsPaths && app.logPathContainsNonAscii())
            dialog.open("Info", Settings.nonAsciiPathText);
    }
    function chooseFolder() {
        folderDialogLoader.active = true;
        folderDialogLoader.item.folder = Menus.folderUrl(shownFolder);
        folderDialogLoader.item.open();
    }

    width: parent ? parent.width : implicitWidth
    spacing: 8

    SettingsSectionHeader {
        width: parent.width
        text: Settings.logSectionTitle
    }
    StyledButton {
        objectName: "logFolderButton"
        width: parent.width
        text: section.shownFolder
        onClicked: section.chooseFolder()
    }
    StyledTextField {
        id: descriptionField
        objectName: "logDescriptionField"
        width: parent.width
        placeholderText: Settings.descriptionPlaceholder
    }
    Repeater {
        model: Settings.outputs
        CheckBoxOption {
            objectName: "output_" + modelData.property
            width: section.width
            visible: section.shows(modelData.property)
            text: modelData.text
            checked: !!section.app && section.app[modelData.property] === true
            onClicked: section.setOutput(modelData.property, !checked)
        }
    }

    Loader {
        id: folderDialogLoader
        active: false
        sourceComponent: FileDialog {
            title: Settings.logFolderDialogTitle
            selectFolder: true
            onAccepted: section.folderChosen(fileUrl)
        }
    }
}
