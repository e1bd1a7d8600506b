// Texts, resource names and choices of the device, application and firmware
// menus, kept apart from the documents so that tests reach them directly
// (imported as Menus).
.pragma library

// The maker's support address and programming note.
var supportEmail = "support@kestrom.no";
var applicationNoteUrl = "https://www.kestrom.no/support/plover-firmware-programming";

// FirmwareImage's FirmwareClass and FirmwareState, for pure functions.
var UnknownClass = 0;
var DeviceOnSingleSupported = 0;
var DeviceIsBehind = 1;
var DeviceOnLatest = 2;
var DeviceIsAhead = 3;
var FirmwareNotOnDisk = 4;

// Where the application documents lie.
var pageFolder = "qrc:///qml/";

// -- device menu

var deviceMenuHelpTitle = "Sarvik Devices";
function deviceMenuHelpText(swInfo) {
    return "Please select desired Sarvik sensor module device.\n\n"
            + "This list will only show valid Sarvik sensor devices.\n\n"
            + "After you plug in the device, it may take up to 10 seconds to identify and display it."
            + "\n\n\n" + swInfo;
}
var deviceMenuHeading = "DEVICES";
var noDeviceText = "Please connect your Sarvik sensor device.";

function deviceIconSource(deviceType) {
    return "qrc:///images/icon_device_" + String(deviceType).toLowerCase() + ".png";
}
function isPlaybackType(deviceType) {
    return String(deviceType).toLowerCase() === "playback";
}

var recordingDialogTitle = "Select a recording";
var recordingNameFilter = "Sarvik Recording (sarvik_recording_meta*.dat)";
function recordingErrorText(error) {
    return "Failed to open recording:\n" + error;
}

// A folder path as the URL a file dialog starts in.
function folderUrl(path) {
    var text = String(path);
    if (text === "" || text.indexOf("file:") === 0)
        return text;
    return "file://" + (text.charAt(0) === "/" ? "" : "/") + text;
}

// -- application menu

var appMenuHelpTitle = "Device Apps";

// An application's documents and icon are named after its appName without
// white space.
function pageBaseName(appName) {
    return String(appName).replace(/\s/g, "");
}
function appIconSource(appName) {
    return "qrc:///images/icon_" + pageBaseName(appName).toLowerCase() + ".png";
}
function appSettingsPage(folder, appName) {
    return folder + pageBaseName(appName) + "AppSettings.qml";
}
function appPage(folder, appName) {
    return folder + pageBaseName(appName) + "App.qml";
}

// Up to four applications stand in one row of four, more in rows of three.
function appGridColumns(count) {
    return count <= 4 ? 4 : 3;
}

var noProfileText = "No profile supported for this sensor.\nPlease contact Kestrom support.";
function showsNoProfileText(appCount, upgrading, inPageTransition, inSafeMode) {
    return appCount === 0 && !upgrading && !inPageTransition && !inSafeMode;
}

function safeModeText() {
    return "The sensor has entered safe mode due to an internal exception. Please "
            + "cycle power on the module. If the problem persists, please contact "
            + supportEmail + ".";
}

var firmwareSectionHeading = "Firmware Management";
var changeFirmwareButtonText = "Change FW version";
function currentFirmwareText(version) {
    return "Current firmware: %2".replace("%2", String(version).toUpperCase());
}
function latestFirmwareText(version) {
    return "Latest firmware: %1".replace("%1", String(version).toUpperCase());
}

// The state text of the firmware section; empty where there is none.
function firmwareStateText(state) {
    var lead;
    if (state === DeviceOnLatest)
        lead = "";
    else if (state === DeviceIsBehind)
        lead = "A new firmware version is available!\n";
    else if (state === DeviceIsAhead)
        lead = "Previous firmware versions are available.\n";
    else if (state === FirmwareNotOnDisk)
        return "No firmware images available with Sarvik Verovaze for this device.";
    else
        return "";
    return lead + "Please click Change FW version below to enter\n"
            + "the firmware menu and view the latest changes.";
}

// An embedded-platform module whose firmware class is unknown outside its
// bootloader may lack the bootloader: it gets this note instead of a state.
function showsBootloaderNote(isDaxDevice, firmwareClass, inBootloaderMode) {
    return !!isDaxDevice && firmwareClass === UnknownClass && !inBootloaderMode;
}
function bootloaderNoteText() {
    return "Unable to determine whether the Sarvik Open Bootloader is installed. "
            + "Please see the " + "<a href=\"" + applicationNoteUrl
            + "\">Plover Firmware Programming application note</a>" + " "
            + "for information on programming without a bootloader.";
}

// -- firmware menu

var firmwareMenuHelpTitle = "Firmware Versions";
var firmwareMenuText = "Select a version from the list and click the Install button below to install a firmware.";
var installButtonText = "Install";
var installDialogTitle = "Install Firmware";

function sameVersion(a, b) {
    return String(a).toUpperCase() === String(b).toUpperCase();
}

function firmwareEntryLabel(version, deviceVersion, latestVersion) {
    var label = "Version: " + String(version).toUpperCase();
    if (sameVersion(version, deviceVersion))
        return label + " (Installed)";
    if (sameVersion(version, latestVersion) && !sameVersion(deviceVersion, latestVersion))
        return label + " (Latest)";
    return label;
}

// The entry selected when the menu opens: the first (the newest) when the
// device is not on the latest version, else none.
function initialFirmwareSelection(count, deviceVersion, latestVersion) {
    return count > 0 && !sameVersion(deviceVersion, latestVersion) ? 0 : -1;
}

function installQuestion(version, latestVersion) {
    var shown = String(version).toUpperCase();
    if (sameVersion(version, latestVersion))
        return "Would you like to install firmware version %1?".replace("%1", shown);
    return ("Warning! %1 is not the latest available version!\n"
            + "Are you sure you want to install this firmware?\n\n"
            + "By downgrading you may lose existing functionality\n"
            + "or experience bugs fixed in the latest version.").replace("%1", shown);
}
