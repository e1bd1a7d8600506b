// The main window's rules, kept apart from the documents so that tests reach
// them directly (imported as Shell).
.pragma library

// DeviceApp's InitializationResult, for documents that cannot import the
// application types.
var InitializationFailed = 0;
var InitializationSucceeded = 1;
var InitializationIntentionalReset = 2;

// The family name of the icon font the program carries.
var iconFontFamily = "FontAwesome";
// Icon-font glyphs the shell draws.
var glyphSpinner = "\uf110";
var glyphBackArrow = "\uf104";

function isDesktopOs(os) {
    return os === "windows" || os === "osx" || os === "linux";
}

// 0.9 on a desktop; elsewhere the window scales with its shorter side.
function scaleFactor(isDesktop, width, height) {
    return isDesktop ? 0.9 : Math.min(width, height) / 640;
}

// The window's first size and its minimum, from the desktop's available area.
function windowWidth(availableWidth) {
    return Math.max(700, Math.min(800, availableWidth / 2));
}
function windowHeight(availableHeight) {
    return Math.max(920, Math.min(1050, availableHeight));
}
function minimumWidth(availableWidth) {
    return Math.min(580, availableWidth);
}
function minimumHeight(availableHeight) {
    return Math.min(800, availableHeight);
}

function topBarHeight(scale) {
    return Math.min(110 * scale, 220);
}
function splashLogoHeight(scale) {
    return Math.min(256 * scale, 256);
}

// What the window does when the active application reports the end of its
// initialisation: "wait" keeps the spinner (a reset whose end the page
// awaits), "hide" hides it, "fail" hides it and reports the error.
function initializationOutcome(result) {
    if (result === InitializationIntentionalReset)
        return "wait";
    return result === InitializationFailed ? "fail" : "hide";
}
function initializationErrorText(errorString) {
    return "Failed to initialize Sarvik device!\nError: " + errorString;
}

// While the active application is being configured (the spinner shows) or
// the active device upgrades, the page stack stays as it is: the waiting
// code still uses the pages and the objects they show.
function isNavigationLocked(spinnerShown, activeDevice) {
    return spinnerShown || (!!activeDevice && !!activeDevice.isDeviceUpgrading);
}

// The back arrow's colour: white while there is a page to go back to.
function backArrowColor(depth) {
    return depth > 1 ? "#FFFFFF" : "transparent";
}
