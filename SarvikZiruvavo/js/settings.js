// The settings pages' texts, ranges, defaults and rules, kept apart from the
// documents so that tests reach them directly (imported as Settings).
.pragma library
.import "widgets.js" as Widgets

// DeviceApp's InitializationResult and FrequencyBand.
var InitializationFailed = 0;
var InitializationSucceeded = 1;
var InitializationIntentionalReset = 2;
var LowFrequencyBand = 3;
var HighFrequencyBand = 4;

// -- texts

function heading(appName) {
    return appName + " SETTINGS";
}
var advancedText = "Advanced";
var hideAdvancedText = "Hide advanced";
var splitSizeText = "Preferred file split size";
var splitUnitLabels = ["minutes", "kB", "MB"];
var settingsFileText = "Settings file";
var applyText = "Apply";
var defaultsText = "Defaults";

var moduleSectionTitle = "Module Settings";
var detectionZoneText = "Detection Zone";
var sensitivityText = "Sensitivity";
var ledControlText = "LED Control";
var ledLabels = ["Off", "Simple", "Full"];
var respirationLedLabels = ["Off", "Simple", "Full", "Inhale"];

var frequencyBandText = "Frequency band";
var frequencyBandLabels = ["Low (7.290 GHz)", "High (8.748 GHz)"];
var ioPinControlText = "I/O pin control";
var ioPinControlLabels = ["Off", "Default"];
var storedNoiseMapText = "Use stored noise map";
var defaultNoiseMapText = "Use default noise map";
var onOffLabels = ["Off", "On"];
var notSupportedSuffix = " (not supported)";
// An option the module lacks is named so, and cannot be changed.
function optionText(text, supported) {
    return supported ? text : text + notSupportedSuffix;
}

var uiSectionTitle = "UI Settings";
var secondsUnit = "seconds";
var minutesUnit = "minutes";

var sleepAnalysisSectionTitle = "Sleep Analysis Settings";
var hypnogramLengthText = "Hypnogram length";

var radarDataTypeText = "Radar Data Type";
var radarDataTypeLabels = ["Radio Frequency (RF)", "Baseband (BB)"];

var logSectionTitle = "Log Settings";
var logFolderDialogTitle = "Select a location";
var descriptionPlaceholder = "Description";
var nonAsciiPathText = "This path contains non-ascii characters and may not work correctly";

var recoveryTimeoutText = "Failed to initialize Sarvik device!\nTimed out waiting for device to switch profiles.";
var missingDataText = "Some of the graphs may not update properly due to lack of data in the recording. "
        + "Click on the info button in the player panel to see which data types are included.";

// -- help

var helpTitles = {
    "Respiration": "Respiration Sensor Settings",
    "Sleep": "Sleep Sensor Settings",
    "Presence": "Presence Sensor Settings",
    "Adult Respiration": "Adult Respiration Sensor Settings",
    "Baby Respiration": "Baby Respiration Sensor Settings",
    "Heartrate": "Heartrate Sensor Settings",
    "Baseband": "Baseband Sensor Settings",
    "DAX": "DAX Radar Sensor Settings"
};

var zoneHelp = "DETECTION ZONE\nThe detection zone is the area, in meters from the sensor, within which "
        + "the sensor detects. Drag the two handles to set where it starts and where it ends.";
var sensitivityHelp = "SENSITIVITY\nAdjust sensor sensitivity from LOW (0) to HIGH (9).";
function ledHelp(labels) {
    return "LED CONTROL\nSets how much the sensor's LED shows, from " + labels.join(", ") + ".";
}
var respirationHistoryHelp = "UI SETTINGS\nThe history sliders set how many seconds the charts of the "
        + "application page show.";
var presenceHistoryHelp = "UI SETTINGS\nHistory sets how many seconds the movement charts of the "
        + "application page show.";
var sleepAnalysisHelp = "SLEEP ANALYSIS SETTINGS\nHypnogram length sets how many minutes of sleep stages "
        + "the sleep analysis keeps.";
var presenceOptionsHelp = "MODULE OPTIONS\nFrequency band chooses the band the sensor transmits in. The "
        + "noise map options tell the sensor to start from the noise map it has stored, or from its default "
        + "one; a module that cannot do so shows the option as not supported.";
var radarOptionsHelp = "RADAR OPTIONS\nFrequency band chooses the band the radar transmits in; radar data "
        + "type chooses between the radio-frequency samples and the baseband the radar mixes them down to.";
var logHelp = "LOG SETTINGS\nRecordings go into the chosen folder, each with its description. The check "
        + "boxes choose which outputs a recording holds besides the application's own data. Under Advanced, "
        + "the preferred file split size sets when a recording starts its next file: after so many minutes, "
        + "kB or MB.";

// The help text of a page: one paragraph per section it has.
function helpText(parts) {
    return parts.join("\n\n");
}

// -- ranges and conversions

// A value read from the settings as a slider offers it: snapped to the step,
// within [from, to]; what is not a number gives the fallback. A hand-edited
// settings file reaches neither a slider nor the module unchecked.
function sliderValue(value, from, to, step, fallback) {
    var number = Number(value);
    if (value === null || value === undefined || value === "" || !isFinite(number))
        return fallback;
    var snapped = Widgets.snap(number, from, step);
    // Steps such as 0.1 leave rounding errors behind.
    snapped = Math.round(snapped * 1e9) / 1e9;
    return Widgets.clamp(snapped, from, to);
}

// An index among count choices; anything else gives the fallback.
function choiceIndex(value, count, fallback) {
    var number = Number(value);
    if (!Number.isInteger(number) || number < 0 || number >= count)
        return fallback;
    return number;
}

// The detection zone as the range slider offers it.
function zoneValues(start, end, min, max, step, minLength, maxLength) {
    var first = sliderValue(start, min, max, step, min);
    var second = sliderValue(end, min, max, step, Math.min(max, min + maxLength));
    if (second < first) {
        var swap = first;
        first = second;
        second = swap;
    }
    var range = Widgets.constrainRange(first, second, "first", min, max, step, minLength, maxLength);
    return [Math.round(range[0] * 1e9) / 1e9, Math.round(range[1] * 1e9) / 1e9];
}
function defaultZone(min, max, maxLength) {
    return [min, Math.min(max, min + maxLength)];
}

var sensitivityRange = { "from": 0, "to": 9, "step": 1, "fallback": 5 };
var defaultLedControl = 2;
var splitSizeRange = { "from": 2, "to": 200, "step": 1, "fallback": 15 };
var defaultSplitUnit = 0;

// History sliders, in seconds; the application keeps milliseconds.
var rpmHistoryRange = { "from": 30, "to": 300, "step": 10, "fallback": 120 };
var breathingPatternHistoryRange = { "from": 1, "to": 20, "step": 1, "fallback": 5 };
var distanceHistoryRange = { "from": 30, "to": 300, "step": 10, "fallback": 120 };
var sleepMovementHistoryRange = { "from": 30, "to": 300, "step": 10, "fallback": 120 };
var presenceHistoryRange = { "from": 30, "to": 600, "step": 10, "fallback": 120 };
function historySeconds(milliseconds, range) {
    var number = Number(milliseconds);
    return sliderValue(isFinite(number) ? number / 1000 : NaN, range.from, range.to, range.step, range.fallback);
}
function historyMilliseconds(seconds) {
    return Math.round(seconds * 1000);
}

// The hypnogram's length: minutes on the slider, 30-second epochs in the
// application.
var hypnogramRange = { "from": 30, "to": 600, "step": 10, "fallback": 480 };
function hypnogramMinutes(epochs) {
    var number = Number(epochs);
    return sliderValue(isFinite(number) ? number / 2 : NaN, hypnogramRange.from, hypnogramRange.to,
                       hypnogramRange.step, hypnogramRange.fallback);
}
function hypnogramEpochs(minutes) {
    return Math.round(minutes * 2);
}

function frequencyBandIndex(band) {
    return Number(band) === HighFrequencyBand ? 1 : 0;
}
function frequencyBandOf(index) {
    return Math.round(index) === 1 ? HighFrequencyBand : LowFrequencyBand;
}

// The raw-chip application's downConversion: 0 radio frequency, 1 baseband.
function downConversionIndex(value) {
    return Number(value) === 0 ? 0 : 1;
}

// -- recorded outputs

var adultFamily = ["Adult Respiration", "Baby Respiration", "Heartrate"];
var vitalApps = ["Adult Respiration", "Baby Respiration", "Heartrate"];

// One check box per output: its text, the applications that show it (null:
// all but "DAX"), the application property, its data-type bit, and what a
// live device must report for it.
var outputs = [
    { "text": "Include Baseband I/Q Output", "apps": null, "property": "basebandOutputEnabled", "bit": 1 },
    { "text": "Include Baseband A/P Output", "apps": null, "property": "basebandAmplitudePhaseOutputEnabled",
      "bit": 0 },
    { "text": "Include Data Float Output", "apps": ["DAX"], "property": "floatDataOutputEnabled", "bit": 10 },
    { "text": "Include Pulse-Doppler Float Output",
      "apps": ["Adult Respiration", "Baby Respiration", "Presence", "Heartrate"],
      "property": "logPulseDopplerFloatEnabled", "bit": 6 },
    { "text": "Include Pulse-Doppler Byte Output",
      "apps": ["Adult Respiration", "Baby Respiration", "Presence", "Heartrate"],
      "property": "logPulseDopplerByteEnabled", "bit": 7 },
    { "text": "Include Sleep Message Output", "apps": ["Sleep"], "property": "extendedBreathingTelegramEnabled",
      "bit": 2 },
    { "text": "Include Breathing Pattern Output",
      "apps": ["Sleep", "Respiration", "Adult Respiration", "Baby Respiration", "Heartrate"],
      "property": "logBreathingPattern", "bit": 3 },
    { "text": "Include Presence Single Output", "apps": ["Presence"], "property": "logPresenceSingleEnabled",
      "bit": 12 },
    { "text": "Include Presence Moving List Output", "apps": ["Presence"],
      "property": "logPresenceMovingListEnabled", "bit": 13 },
    { "text": "Include Respiration Moving List Output", "apps": adultFamily,
      "property": "logRespirationMovingListEnabled", "bit": 15 },
    { "text": "Include Respiration Normalized Moving List Output", "apps": adultFamily,
      "property": "logRespirationNormalizedMovingListEnabled", "bit": 18,
      "liveNeeds": "supportsNormalizedMovementList" },
    { "text": "Include Respiration Detection List Output", "apps": adultFamily,
      "property": "logRespirationDetectionListEnabled", "bit": 14 },
    { "text": "Include Vital Signs Output", "apps": vitalApps, "property": "logVitalSignsEnabled", "bit": 16,
      "liveNeeds": "supportsVitalSignsData" }
];

function outputByProperty(property) {
    for (var i = 0; i < outputs.length; ++i) {
        if (outputs[i].property === property)
            return outputs[i];
    }
    return null;
}

// Whether the check box of output shows. device: {isPlaybackDevice,
// playbackDataTypes, supportsNormalizedMovementList, supportsVitalSignsData}.
// A recording shows the outputs it holds; the baseband outputs show for any
// application but "DAX" on a live device, and whenever a recording holds
// them.
function outputShown(output, appName, device) {
    var playback = !!device && !!device.isPlaybackDevice;
    var held = playback && ((Number(device.playbackDataTypes) >>> output.bit) & 1) === 1;
    if (output.apps === null)
        return playback ? held : appName !== "DAX";
    if (output.apps.indexOf(appName) < 0)
        return false;
    if (playback)
        return held;
    return !output.liveNeeds || (!!device && !!device[output.liveNeeds]);
}

// The outputs' values after "Defaults", by property, for the outputs that
// show (shown(property) tells); outputs left out keep their values.
function outputDefaults(appName, shown) {
    var values = {};
    if (shown("basebandAmplitudePhaseOutputEnabled"))
        values.basebandAmplitudePhaseOutputEnabled = true;
    else if (shown("basebandOutputEnabled"))
        values.basebandOutputEnabled = true;
    values.extendedBreathingTelegramEnabled = true;
    values.logBreathingPattern = false;
    if (appName === "Presence") {
        values.logPresenceSingleEnabled = true;
        values.logPresenceMovingListEnabled = false;
    }
    if (adultFamily.indexOf(appName) >= 0) {
        values.logRespirationMovingListEnabled = true;
        values.logRespirationDetectionListEnabled = true;
        values.logBreathingPattern = true;
    }
    if (appName === "Heartrate")
        values.logVitalSignsEnabled = true;
    if (shown("logPulseDopplerByteEnabled"))
        values.logPulseDopplerByteEnabled = true;
    else if (shown("logPulseDopplerFloatEnabled"))
        values.logPulseDopplerFloatEnabled = true;
    return values;
}

// -- applying

// What the result of execute() means for a page: "success", "recover" (the
// module switches profile: recover the device and try again) or "failed".
// The presence family resets the module to switch profile; for the others
// only a failure fails.
function applyOutcome(presenceFamily, result) {
    if (!presenceFamily)
        return result === InitializationFailed ? "failed" : "success";
    if (result === InitializationSucceeded)
        return "success";
    if (result === InitializationIntentionalReset)
        return "recover";
    return "failed";
}

// Whether a recording holds the data the application's graphs need.
function hasRequiredDataTypes(appName, dataTypes) {
    var types = Number(dataTypes) >>> 0;
    function has(mask) {
        return (types & mask) !== 0;
    }
    var baseband = has(0x1) || has(0x2);
    var pulseDoppler = has(0x40) || has(0x80);
    if (appName === "Presence")
        return has(0x1000) && has(0x2000) && baseband && pulseDoppler;
    if (appName === "Adult Respiration" || appName === "Baby Respiration")
        return has(0x4000) && has(0x8000) && has(0x4) && has(0x8) && baseband && pulseDoppler;
    if (appName === "Heartrate")
        return has(0x10000);
    console.warn("WARNING: unhandled app name in hasRequiredDataTypes:", appName);
    return false;
}

// Sleep analysis is offered for the adult and baby applications of a module
// that reports vital signs, when the plug-in is loaded.
function offersSleepAnalysis(hasPlugin, appName, supportsVitalSignsData) {
    return !!hasPlugin && (appName === "Adult Respiration" || appName === "Baby Respiration")
            && !!supportsVitalSignsData;
}
