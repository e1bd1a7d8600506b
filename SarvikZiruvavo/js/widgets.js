// The shared widgets' rules (imported as Widgets).
.pragma library

// A slider's value as its label shows it: fixed decimals, then the unit.
function sliderLabel(value, fixed, type) {
    var text = Number(value).toFixed(fixed);
    return type ? text + " " + type : text;
}

function snap(value, from, stepSize) {
    if (!(stepSize > 0))
        return value;
    return from + Math.round((value - from) / stepSize) * stepSize;
}

function clamp(value, low, high) {
    return Math.max(low, Math.min(high, value));
}

// A two-handle range after one handle moved ("first" or "second"): both snap
// to the step and stay within [from, to]; a handle moved closer to the other
// than minLength pushes it along, one moved farther than maxLength pulls it
// along (a maxLength of 0 or less sets no limit). Returns [first, second].
function constrainRange(first, second, moved, from, to, stepSize, minLength, maxLength) {
    first = clamp(snap(first, from, stepSize), from, to);
    second = clamp(snap(second, from, stepSize), from, to);
    var noMax = !(maxLength > 0);
    if (moved === "first") {
        if (second - first < minLength)
            second = Math.min(to, first + minLength);
        else if (!noMax && second - first > maxLength)
            second = first + maxLength;
        // The pushed handle met the end: the moved one stops short of it.
        if (second - first < minLength)
            first = Math.max(from, second - minLength);
    } else {
        if (second - first < minLength)
            first = Math.max(from, second - minLength);
        else if (!noMax && second - first > maxLength)
            first = second - maxLength;
        if (second - first < minLength)
            second = Math.min(to, first + minLength);
    }
    return [first, second];
}
