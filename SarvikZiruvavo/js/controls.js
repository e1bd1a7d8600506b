// The application page's control panel and the playback bar: texts, glyphs
// and rules, kept apart from the documents so that tests reach them directly
// (imported as Controls).
.pragma library

// Device's PlaybackState.
var StoppedState = 0;
var PlayingState = 1;
var PausedState = 2;

// Icon-font glyphs.
var glyphPlay = "\uf04b";
var glyphPause = "\uf04c";
var glyphLoop = "\uf021";
var glyphInfo = "\uf05a";
var glyphOptions = "\uf0c9";
var glyphPulseDoppler = "\uf1fe";
var glyphBaseband = "\uf201";
var glyphMovement = "\uf0e4";

// -- the control panel

function signalQualityText(signalQuality) {
    return "SIGNAL QUALITY: " + signalQuality;
}
// The legend's two keys: [text of the quiet state, text of the active one].
function legendKeys(presence) {
    return presence ? ["No presence", "Presence"] : ["Respiration", "Movement"];
}

var recordText = "Record";
var stopText = "Stop";
var recordIcon = "qrc:///images/icon_record.png";
var recordingIcon = "qrc:///images/icon_recording.png";
var settingsText = "Settings";
var settingsIcon = "qrc:///images/icon_settings.png";
function recordButtonText(recording) {
    return recording ? stopText : recordText;
}
function recordButtonIcon(recording) {
    return recording ? recordingIcon : recordIcon;
}
function recordingErrorText(error) {
    return "Recording failed: " + error;
}

var noiseMapTitle = "Noise Map";
var noiseMapText = "The sensor can store its current noise map locally in the sensor, "
        + "and load (use) a previously stored noise map - or delete it.";
// A noise-map command's result: [dialog title, message].
function commandResult(ok) {
    return ok ? ["Info", "Command successfully executed!"] : ["Error", "Command failed!"];
}
var sleepAnalysisTitle = "Sleep Analysis Settings";
function hypnogramChoiceText(movementHistoryMs) {
    return "Show full hypnogram or UI history setting (last %1 seconds)".replace("%1", movementHistoryMs / 1000);
}
var hypnogramChoiceLabels = ["Full Hypnogram", "UI History"];

// -- detail windows

// Where a detail window goes when it shows, beside the main window: right
// of it (4 pixels apart, kept on the desktop) when there is at least as much
// room on the right as on the left and the other detail window does not sit
// there already; else left of it (not beyond the desktop's left edge). Its
// top is the main window's. Rectangles are {x, y, width, height}; returns
// {x, y, right}.
var windowGap = 4;
function detailWindowPlace(main, desktop, size, otherSitsRight) {
    var roomRight = desktop.x + desktop.width - (main.x + main.width);
    var roomLeft = main.x - desktop.x;
    var right = roomRight >= roomLeft && !otherSitsRight;
    var x;
    if (right)
        x = Math.min(main.x + main.width + windowGap, desktop.x + desktop.width - size.width);
    else
        x = Math.max(main.x - windowGap - size.width, desktop.x);
    return { "x": x, "y": main.y, "right": right };
}

// The first size of a detail window: the main window's (no smaller than its
// minimum) for the baseband and pulse-Doppler windows, as wide and half as
// high for the movement window.
function detailWindowSize(kind, main, minimumWidth, minimumHeight) {
    if (kind === "movement")
        return { "width": main.width, "height": Math.round(main.height / 2) };
    return { "width": Math.max(main.width, minimumWidth), "height": Math.max(main.height, minimumHeight) };
}

// A move that comes this long after the window showed is the user's.
var userMoveDelay = 250;
function isUserMove(shownAt, movedAt) {
    return movedAt - shownAt > userMoveDelay;
}

// -- the playback bar

// A time in ms as [hours ":"] minutes ":" seconds, minutes and seconds with
// two digits, hours only when above 0 (counted modulo 24).
function timeText(milliseconds) {
    var ms = Math.max(0, Math.floor(Number(milliseconds)) || 0);
    var hours = Math.floor(ms / 3600000) % 24;
    var minutes = Math.floor(ms / 60000) % 60;
    var seconds = Math.floor(ms / 1000) % 60;
    function twoDigits(value) {
        return value < 10 ? "0" + value : String(value);
    }
    return (hours > 0 ? hours + ":" : "") + twoDigits(minutes) + ":" + twoDigits(seconds);
}
function positionText(position, duration) {
    return timeText(position) + " / " + timeText(duration);
}

// The position slider's value: the position as a fraction of the duration,
// 0 while the duration is unknown.
function positionRatio(position, duration) {
    if (!(duration > 0))
        return 0;
    return Math.max(0, Math.min(1, position / duration));
}
function positionAt(ratio, duration) {
    return duration > 0 ? Math.round(duration * ratio) : 0;
}

// Play/pause: what to write, in order, as [property, value] pairs. Playing
// pauses; a stopped recording starts again from 0.
function playPauseWrites(state) {
    if (state === PlayingState)
        return [["playbackState", PausedState]];
    if (state === StoppedState)
        return [["playbackPosition", 0], ["playbackState", PlayingState]];
    return [["playbackState", PlayingState]];
}

// The position slider reached the end of a recording that does not loop.
function stopsAtEnd(ratio, loopModeEnabled) {
    return ratio >= 1 && !loopModeEnabled;
}

// A press on the position slider held this long is a drag.
var dragDelay = 150;

// The speed slider: 0.1 to 20 in steps of 0.1, starting at 1.
var speedRange = { "from": 0.1, "to": 20, "step": 0.1, "initial": 1 };
function speedValue(value) {
    return Math.round(value * 10) / 10;
}

var metaInfoTitle = "META INFO";
function metaInfoText(metaString, params) {
    return "[RECORDING]\n\n" + metaString + "\n[PARAMETER FILE]\n\n" + params;
}
