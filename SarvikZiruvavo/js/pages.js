// The application pages' and detail windows' rules, kept apart from the
// documents so that tests reach them without drawing (imported as Pages):
// the state panels' texts, which values a state lets through to the charts,
// the heart-rate bands, the hypnogram, and the range-bin charts' value
// ranges and phase rules.
.pragma library

// -- states

// PresenceApp's states.
var Presence = {
    "NoPresenceState": 0,
    "PresenceState": 1,
    "InitializingState": 2,
    "UnknownState": 3,
    "NoConnectionState": 4
};
// RespirationApp's (and SleepApp's) states.
var Respiration = {
    "BreathingState": 0,
    "MovementState": 1,
    "MovementTrackingState": 2,
    "NoMovementState": 3,
    "InitializingState": 4,
    "ErrorState": 5,
    "UnknownState": 6,
    "NoConnectionState": 7
};
// The adult respiration family's states.
var Adult = {
    "BreathingState": 0,
    "MovementState": 1,
    "MovementTrackingState": 2,
    "NoMovementState": 3,
    "InitializingState": 4,
    "ErrorState": 5,
    "UnknownState": 6,
    "HeartrateState": 7,
    "NoConnectionState": 8
};

var presenceTexts = ["NO PRESENCE", "PRESENCE", "INITIALIZING\n(MAY TAKE SEVERAL MINUTES)", "UNKNOWN",
                     "NO CONNECTION"];
var respirationTexts = ["RESPIRATION", "MOVEMENT", "MOVEMENT\n(POSSIBLE RESPIRATION)", "NO MOVEMENT",
                        "INITIALIZING", "ERROR", "UNKNOWN", "NO CONNECTION"];
var adultTexts = ["BREATHING", "MOVEMENT", "MOVEMENT TRACKING", "NO MOVEMENT",
                  "INITIALIZING\n(MAY TAKE SEVERAL MINUTES)", "ERROR", "UNKNOWN", "HEARTRATE", "NO CONNECTION"];
var undefinedText = "UNDEFINED";

function tableText(table, state) {
    var index = Number(state);
    return Number.isInteger(index) && index >= 0 && index < table.length ? table[index] : undefinedText;
}

// The state panel's text of a page family ("presence", "respiration" or
// "adult") in state.
function stateText(family, state) {
    if (family === "presence")
        return tableText(presenceTexts, state);
    if (family === "respiration")
        return tableText(respirationTexts, state);
    if (family === "adult")
        return tableText(adultTexts, state);
    return undefinedText;
}

function states(family) {
    return family === "presence" ? Presence : family === "respiration" ? Respiration : Adult;
}
function isInitializing(family, state) {
    return Number(state) === states(family).InitializingState;
}
function isNoConnection(family, state) {
    return Number(state) === states(family).NoConnectionState;
}

// The respiration panel's second text: breaths per minute and distance
// while breathing, the progress (which the application carries in its rpm)
// while initializing, else nothing.
function respirationDetailText(state, rpm, distance) {
    if (Number(state) === Respiration.BreathingState)
        return rpm + " RPM\n" + finiteOr(distance, 0).toFixed(1) + " METERS";
    if (Number(state) === Respiration.InitializingState)
        return rpm + " %";
    return "";
}

function frameText(frameCounter) {
    return "Frame: " + frameCounter;
}

// How often a panel in the no-connection state asks its device to
// reconnect, and what it logs each time.
var reconnectInterval = 2000;
var reconnectText = "Lost connection to device; attempting to reconnect";

// -- values on their way to the charts

// The value when it is a finite number and the state lets it through; else
// not-a-number, which breaks the chart's line (an infinity must not reach a
// chart's pixel arithmetic nor a conversion to an integer).
function gate(allowed, value) {
    var number = Number(value);
    return allowed && isFinite(number) ? number : NaN;
}
function finiteOr(value, fallback) {
    var number = Number(value);
    return isFinite(number) ? number : fallback;
}
// A value as a label with decimals; "" when it is no finite number.
function valueText(value, decimals) {
    var number = Number(value);
    return isFinite(number) ? number.toFixed(decimals) : "";
}

// Presence: the distance while present; the movement values but in the
// unknown and no-connection states.
function presenceDistanceShown(state) {
    return Number(state) === Presence.PresenceState;
}
function presenceMovementShown(state) {
    return Number(state) !== Presence.NoConnectionState && Number(state) !== Presence.UnknownState;
}
// Presence and movement lists: redrawn but in the initializing and unknown
// states.
function presenceListShown(state) {
    return Number(state) !== Presence.InitializingState && Number(state) !== Presence.UnknownState;
}

// Respiration and sleep: every value only while breathing.
function respirationValueShown(state) {
    return Number(state) === Respiration.BreathingState;
}

// The adult family.
function adultBreathingShown(state) {
    var s = Number(state);
    return s === Adult.BreathingState || s === Adult.HeartrateState;
}
function adultDistanceShown(state) {
    var s = Number(state);
    return s === Adult.BreathingState || s === Adult.HeartrateState || s === Adult.MovementState
            || s === Adult.MovementTrackingState;
}
function adultBreathingDistanceShown(state, detectionCount) {
    return Number(state) === Adult.BreathingState && Number(detectionCount) >= 2;
}
function adultMovementShown(state) {
    var s = Number(state);
    return s !== Adult.NoConnectionState && s !== Adult.UnknownState;
}
function adultListShown(state) {
    var s = Number(state);
    return s !== Adult.InitializingState && s !== Adult.UnknownState;
}

// The heart rate's band by confidence: 7 or more, 4 to 6, below 4; the
// chart's state colours in that order.
var heartrateColors = ["#317743", "#3c9652", "#4fbc6a"];
function heartrateBand(confidence) {
    var c = Number(confidence);
    if (c >= 7)
        return 0;
    if (c >= 4)
        return 1;
    return 2;
}

// The chart state colours of the presence states.
function presenceStateColors(purple, orange, darkGrey) {
    return [purple, orange, purple, purple, darkGrey];
}

// -- the sleep stages

var sleepStageNames = ["Unknown", "Deep Sleep", "Light Sleep", "REM", "Awake", "No Presence"];
function sleepStageName(stage) {
    return tableText(sleepStageNames, stage) === undefinedText ? "" : sleepStageNames[Number(stage)];
}
// The chart's row labels, top to bottom.
function sleepStageLabels() {
    return sleepStageNames.slice().reverse();
}
// The left end of the sleep chart, in seconds.
function sleepChartStart(showFullHypnogram, bufferLength, epochLength, movementHistoryMs) {
    if (showFullHypnogram)
        return -(bufferLength * epochLength);
    return -(movementHistoryMs / 1000);
}
// The hypnogram as chart points: entry i of n at epochLength × (i − n),
// then the current stage at 0. Each point is {x, y, state}.
function hypnogramPoints(hypnogram, epochLength, sleepStage) {
    var n = hypnogram ? hypnogram.length : 0;
    var points = [];
    for (var i = 0; i < n; ++i)
        points.push({ "x": epochLength * (i - n), "y": hypnogram[i], "state": hypnogram[i] });
    points.push({ "x": 0, "y": sleepStage, "state": sleepStage });
    return points;
}

// -- heat maps and bar charts over the detection zone

// The margin of a heat map's frames: max(0, width ÷ (1 + bins) − 1) ÷ 2.
function heatMapMargin(width, bins) {
    return Math.max(0, width / (1 + bins) - 1) / 2;
}
// Where bin i of a movement list stands: zone start + i × increment.
function binX(start, increment, index) {
    return start + index * increment;
}
// A value for a heat map cell: the lowest of the range when it is no
// finite number (a cell cannot be left out of a frame).
function heatValue(value, minimum) {
    var number = Number(value);
    return isFinite(number) ? number : minimum;
}

// -- range-bin charts (the raw-chip page and the baseband window)

// The scales of the device's basebandScale.
var LogarithmicScale = 0;
var LinearScale = 1;

// Frames whose range is taken from the frame itself before the range only
// follows frames that stay out of it.
var settleFrames = 50;
// Frames in a row out of the range after which the next frame sets it anew.
var outOfRangeRun = 5;
// A frame maximum this far below the shown maximum is out of the range.
var belowFraction = 0.45;

// A chart's range state: the frames seen, whether the next frame sets the
// range, how many frames in a row were out of it, and the range.
function newRange() {
    return { "frames": 0, "recompute": true, "run": 0, "min": 0, "max": 1 };
}

// The finite minimum and maximum of values; null when there is none.
function extremes(values) {
    var min = Infinity;
    var max = -Infinity;
    for (var i = 0; i < values.length; ++i) {
        var v = Number(values[i]);
        if (!isFinite(v))
            continue;
        if (v < min)
            min = v;
        if (v > max)
            max = v;
    }
    return max >= min ? { "min": min, "max": max } : null;
}

// v rounded up (or down) to thousandths. A product such as 23 × 1000 that
// comes out a rounding error above a whole number counts as that number,
// so that a frame maximum of 20 gives 23 and not 23.001.
function thousandths(v, round) {
    var t = v * 1000;
    var nearest = Math.round(t);
    if (Math.abs(t - nearest) < 1e-6)
        t = nearest;
    return round(t) / 1000;
}

// The range a frame sets. kind: "log" or "linear" (baseband amplitudes of
// that scale) or "carrier" (carrier-frequency values).
function frameRange(kind, frameMin, frameMax) {
    var headroom = Math.abs(frameMax) * 15 / 100;
    var max = thousandths(frameMax + headroom, Math.ceil);
    var min;
    if (kind === "log")
        min = Math.floor(frameMax - 60);
    else if (kind === "linear")
        min = thousandths(frameMin, Math.floor);
    else
        min = thousandths(frameMin - headroom, Math.floor);
    // A flat frame would give an empty range, which no chart can scale to.
    if (!(max > min))
        max = min + 1;
    return { "min": min, "max": max };
}

// Whether a frame maximum lies out of the shown range: above its maximum or
// more than 45 % below it; on the logarithmic scale both compared as powers.
function outOfRange(kind, shownMax, frameMax) {
    var shown = shownMax;
    var current = frameMax;
    if (kind === "log") {
        shown = Math.pow(10, shown / 10);
        current = Math.pow(10, current / 10);
    }
    return current > shown || current < shown * (1 - belowFraction);
}

// Takes one frame's values into range; true when the range changed. A
// frame without a finite value changes nothing.
function takeFrame(range, kind, values) {
    var frame = extremes(values);
    if (!frame)
        return false;
    range.frames += 1;
    if (range.frames <= settleFrames || range.recompute) {
        var next = frameRange(kind, frame.min, frame.max);
        var changed = next.min !== range.min || next.max !== range.max;
        range.min = next.min;
        range.max = next.max;
        range.recompute = false;
        range.run = 0;
        return changed;
    }
    if (outOfRange(kind, range.max, frame.max))
        range.run += 1;
    else
        range.run = 0;
    if (range.run > outOfRangeRun)
        range.recompute = true;
    return false;
}

// Marks the range to be set by the next frame.
function recomputeRange(range) {
    range.recompute = true;
    range.run = 0;
}

// The phase the single-bin chart shows for bin index: the phase itself for
// bin 0, else the difference of the previous bin's phase minus this one's,
// wrapped to −π..π.
function binPhase(phases, index) {
    if (index < 0 || index >= phases.length)
        return NaN;
    if (index === 0)
        return Number(phases[0]);
    var d = Number(phases[index - 1]) - Number(phases[index]);
    return Math.atan2(Math.sin(d), Math.cos(d));
}

// The single-bin chart's text with no bin selected.
function noBinText(carrier) {
    return carrier ? "(No carrier frequency bin selected)" : "(No amplitude/phase bin selected)";
}

// -- the pulse-Doppler surfaces

// The surface's gradient: stops 0 to 256 of 256 through the colour map's
// rows (a viridis ramp from "#440154" to "#fee724"), as {position, color}.
function surfaceGradientStops(colormap) {
    var stops = [];
    var rows = colormap.length;
    for (var i = 0; i <= 256; ++i) {
        var position = i / 256;
        var row = colormap[Math.min(rows - 1, Math.round(position * (rows - 1)))];
        stops.push({ "position": position, "color": rgbText(row[0], row[1], row[2]) });
    }
    stops[0].color = "#440154";
    stops[256].color = "#fee724";
    return stops;
}
function rgbText(red, green, blue) {
    function channel(v) {
        var text = Math.round(Math.max(0, Math.min(1, v)) * 255).toString(16);
        return text.length < 2 ? "0" + text : text;
    }
    return "#" + channel(red) + channel(green) + channel(blue);
}

// Dragging the power axis: both ends move by the vertical movement ÷ 50.
// Returns the new {min, max}.
function dragPowerAxis(min, max, dy) {
    var shift = dy / 50;
    return { "min": min + shift, "max": max + shift };
}
// The instances the window shows: 0 slow, 1 fast; others are ignored.
function surfaceOfInstance(instance) {
    var i = Number(instance);
    return i === 0 ? "slow" : i === 1 ? "fast" : "";
}
