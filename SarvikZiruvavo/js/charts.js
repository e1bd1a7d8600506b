// The charts' rules, kept apart from the documents so that tests reach them
// without drawing (imported as Charts): how a series takes a value (dropping
// what left the chart, merging what falls on one pixel column, collapsing
// runs of equal values), the value range, the mapping to pixels, what a paint
// draws (lines, state bands, bars) and the tick row.
//
// A series is an array of entries {x, y, count, state, moved}: x is a time
// stamp in ms (or an x value), y the sum of the count values merged into the
// entry, state the device state of the first series (undefined for the
// second), moved set when the entry stands for a run of equal values.
.pragma library

// -- the time scale

// Seconds of history one pixel column shows.
function secondsPerPixel(history, width) {
    return (history / 1000) / width;
}

// How often a time chart repaints: faster where a pixel column is short.
function frameInterval(secondsPerPixel) {
    if (secondsPerPixel < 0.5)
        return 25;
    if (secondsPerPixel < 1)
        return 50;
    return 100;
}

// The width that merging reckons with. A chart of no size (collapsed, or not
// laid out yet) keeps merging as it last did, so its data stay as they would
// have been drawn; one that never had a size merges as a wide one would.
var fallbackWidth = 1000;
function mergingWidth(width, lastWidth) {
    if (width > 0)
        return width;
    return lastWidth > 0 ? lastWidth : fallbackWidth;
}

// The time one pixel column spans, in ms; 0 (no merging) in x-range mode.
function pixelTime(history, width) {
    if (!(history > 0) || !(width > 0))
        return 0;
    return secondsPerPixel(history, width) * 1000;
}

// -- adding values

function entryMean(entry) {
    return entry.y / entry.count;
}

// Means are sums divided by counts: a run of a value such as 0.1 gives means
// a rounding error away from it, which must still count as equal.
function sameValue(a, b) {
    if (a === b)
        return true;
    var scale = Math.max(Math.abs(a), Math.abs(b));
    return Math.abs(a - b) <= scale * 1e-12;
}

// Drops entries while the second one lies outside on the left; the first
// entry stays as long as the line from it into the chart is visible.
function dropWhile(series, isOutside) {
    var count = 0;
    while (series.length - count > 1 && isOutside(series[count + 1].x))
        ++count;
    if (count > 0)
        series.splice(0, count);
}

// Time mode: an entry is outside once its age, at the playback rate, exceeds
// the history.
function dropOldTime(series, now, history, rate) {
    var span = history / (rate > 0 ? rate : 1);
    dropWhile(series, function (time) { return now - time > span; });
}

// X-range mode: outside is left of minX.
function dropOldRange(series, minX) {
    dropWhile(series, function (x) { return x < minX; });
}

// The value range widened to take value (the range only widens); returns
// {min, max}. A value that is not a number changes nothing.
function autoScale(min, max, value) {
    if (value > max) {
        max = value + Math.abs(value) * 0.1;
        if (Math.abs(max) > 10)
            max = Math.ceil(max);
    } else if (value < min) {
        min = value - Math.abs(value) * 0.1;
        if (Math.abs(min) > 10)
            min = Math.floor(min);
    }
    return { "min": min, "max": max };
}

// Adds value at x with state to series. pixelSpan is the time of one pixel
// column (0: no merging, as in x-range mode). Merging happens only with a
// last entry of the same state:
// - a value equal to the last entry's mean, when the entry before it has
//   that mean too, moves the last entry to x (a run of equal values keeps
//   its first and its last entry);
// - a value less than one pixel column after the last entry (unless that
//   entry stands for a run) joins it; a not-a-number joins without changing
//   it, a number replaces a not-a-number sum;
// - anything else is a new entry.
function addValue(series, x, value, state, pixelSpan) {
    var n = series.length;
    if (pixelSpan > 0 && n > 0) {
        var last = series[n - 1];
        if (last.state === state) {
            var lastMean = entryMean(last);
            if (n >= 2 && sameValue(lastMean, value)) {
                var before = series[n - 2];
                if (before.state === state && sameValue(entryMean(before), value)) {
                    last.x = x;
                    last.moved = true;
                    return;
                }
            }
            if (x - last.x < pixelSpan && !last.moved) {
                if (isNaN(value))
                    return;
                if (isNaN(last.y)) {
                    last.y = value;
                    last.count = 1;
                } else {
                    last.y += value;
                    last.count += 1;
                }
                return;
            }
        }
    }
    series.push({ "x": x, "y": value, "count": 1, "state": state, "moved": false });
}

// -- mapping to pixels

// A view describes one paint: {width, height, min, max, margin} and either
// time mode {history, now, rate} or x-range mode {minX, maxX} (history 0).
function mapY(view, value) {
    var span = view.max - view.min;
    var inner = view.height - 2 * view.margin;
    if (!(span !== 0) || !isFinite(span))
        return view.margin + inner / 2;
    return view.margin + inner * (1 - (value - view.min) / span);
}

function mapX(view, x) {
    if (view.history > 0)
        return view.width - view.width * ((view.now - x) / view.history) * view.rate;
    var span = view.maxX - view.minX;
    if (!(span !== 0) || !isFinite(span))
        return 0;
    return view.width * (x - view.minX) / span;
}

// The time until the next repaint of a chart that repaints every interval
// ms: to the next whole multiple of the interval on the clock, so that all
// charts of one interval repaint at the same moments.
function nextTickDelay(now, interval) {
    return Math.max(1, interval - now % interval);
}

// How far a time chart's picture drawn at paintedAt has scrolled by now, in
// pixels; a chart never drawn has scrolled without end.
function scrolledPixels(paintedAt, now, history, rate, width) {
    if (!(paintedAt > 0) || !(history > 0))
        return Infinity;
    return (now - paintedAt) * (rate > 0 ? rate : 1) / history * width;
}

// How often a time chart repaints: its frame interval, or, where one pixel
// column spans longer than that, the first of a few round intervals that
// spans at least a column (so that each repaint scrolls by a pixel or more).
// Round intervals on the clock make the charts of a page, and the page's
// other displays (displayInterval), change in the same frames.
var repaintSteps = [100, 200, 250, 500, 1000];
function repaintInterval(frameInterval, pixelTimeMs) {
    if (!(pixelTimeMs > frameInterval))
        return frameInterval;
    for (var i = 0; i < repaintSteps.length; ++i) {
        if (repaintSteps[i] >= pixelTimeMs)
            return repaintSteps[i];
    }
    return repaintSteps[repaintSteps.length - 1];
}
// How often the pages show the values and lists that came: every window
// frame is drawn whole, in software on most machines, so values that
// arrive 20 times a second are shown five times a second, in step with
// the time charts of a two-minute history.
var displayInterval = 200;

// Whether a time chart's repaint tick draws a new picture: once the old one
// has scrolled by a pixel, or when values came and it is older than
// dataRepaintDelay ms.
var dataRepaintDelay = 250;
function tickRepaints(scrolled, dataPending, sincePaintMs) {
    return scrolled >= 1 || (dataPending && sincePaintMs >= dataRepaintDelay);
}

// Whether there is anything to draw on: a chart of no size draws nothing.
function canDraw(width, height) {
    return width > 0 && height > 0;
}

// -- painting

// Traces the line of a series onto path (moveTo, lineTo): a number after a
// number is a segment; a not-a-number after a number ends the line with a
// horizontal stroke to its x; a number after a not-a-number starts a new
// line. In time mode a line that ends in a number goes on to the current
// time at its last height. Values shown are entry means.
function traceLine(path, series, view) {
    if (series.length < 2)
        return;
    var previous = NaN;
    var previousY = 0;
    for (var i = 0; i < series.length; ++i) {
        var entry = series[i];
        var value = entryMean(entry);
        var x = mapX(view, entry.x);
        if (isNaN(value)) {
            if (!isNaN(previous))
                path.lineTo(x, previousY);
        } else {
            var y = mapY(view, value);
            if (isNaN(previous))
                path.moveTo(x, y);
            else
                path.lineTo(x, y);
            previousY = y;
        }
        previous = value;
    }
    if (view.history > 0 && !isNaN(previous))
        path.lineTo(mapX(view, view.now), previousY);
}

// The state bands of a series: each run of equal state fills from its first
// entry to the next run's first entry (one pixel wider, so that bands meet),
// the last run to the right edge. A state without a colour (-1, undefined,
// or beyond the table) has no band. fill(x, width, color) draws one.
function traceBands(fill, series, view, colors) {
    if (series.length < 2)
        return;
    var runStart = 0;
    for (var i = 1; i <= series.length; ++i) {
        if (i < series.length && series[i].state === series[runStart].state)
            continue;
        var color = colors[series[runStart].state];
        if (color !== undefined && color !== null && color !== "") {
            var x0 = mapX(view, series[runStart].x);
            var x1 = i < series.length ? mapX(view, series[i].x) + 1 : view.width;
            if (x1 > x0)
                fill(x0, x1 - x0, color);
        }
        runStart = i;
    }
}

// Bars over the entries: width ÷ entries − 2 each (a pixel of margin on both
// sides); while that is below 0.8, 2, 3, ... entries are averaged into one
// bar. Each bar rises from the bottom to its average. fill(x, top, width,
// height) draws one. Nothing is drawn where not even one bar fits.
function traceBars(fill, series, view) {
    var n = series.length;
    if (n === 0 || !(view.width > 0))
        return;
    var perBar = 1;
    var bars = n;
    var barWidth = view.width / bars - 2;
    while (barWidth < 0.8 && perBar < n) {
        ++perBar;
        bars = Math.ceil(n / perBar);
        barWidth = view.width / bars - 2;
    }
    if (barWidth < 0.8)
        return;
    var slot = view.width / bars;
    for (var b = 0; b < bars; ++b) {
        var sum = 0;
        var count = 0;
        for (var i = b * perBar; i < Math.min(n, (b + 1) * perBar); ++i) {
            var value = entryMean(series[i]);
            if (!isNaN(value)) {
                sum += value;
                ++count;
            }
        }
        if (count === 0)
            continue;
        var top = mapY(view, sum / count);
        var bottom = view.height;
        if (top < bottom)
            fill(b * slot + 1, top, barWidth, bottom - top);
    }
}

// The bars' vertical gradient: colour-map rows 79, 83, ... 255 (45 stops),
// row 79 at the bottom (position 1) and row 255 at the top (position 0).
function barGradientStops(colormap) {
    var stops = [];
    for (var row = 79; row <= 255; row += 4) {
        var c = colormap[row];
        stops.push({ "position": 1 - (row - 79) / (255 - 79), "color": rgbText(c[0], c[1], c[2]) });
    }
    return stops;
}

function rgbText(red, green, blue) {
    function channel(v) {
        var text = Math.round(Math.max(0, Math.min(1, v)) * 255).toString(16);
        return text.length < 2 ? "0" + text : text;
    }
    return "#" + channel(red) + channel(green) + channel(blue);
}

// -- the tick row

// The ticks under a chart, about one every 50 pixels: [{position, label}],
// position 0 to 1 from the left. Time mode counts seconds of history, whole
// ones (a tick step that must divide the count could otherwise never be
// found), labels right to left with no decimals; x-range mode counts xStep
// steps from minX to maxX, labels left to right with decimals. Empty where
// there is no room or no range.
function ticks(history, minX, maxX, xStep, width, decimals) {
    if (!(width > 0))
        return [];
    var timeMode = history > 0;
    var count;
    if (timeMode)
        count = Math.max(1, Math.round(history / 1000));
    else
        count = (maxX - minX) / xStep;
    if (!(count > 0) || !isFinite(count))
        return [];
    var frequency = Math.max(1, 50 * count / width);
    if (timeMode && frequency > 1) {
        frequency = Math.max(10, Math.ceil(frequency / 10) * 10);
        while (frequency > 1 && count % frequency !== 0)
            --frequency;
    }
    var tickCount = 1 + Math.ceil(count / frequency);
    var result = [];
    for (var i = 0; i < tickCount; ++i) {
        var position = i / (tickCount - 1);
        if (timeMode) {
            result.push({ "position": 1 - position, "label": (i * (count / (tickCount - 1))).toFixed(0) });
        } else {
            var value = minX + i * ((maxX - minX) / (tickCount - 1));
            result.push({ "position": position, "label": value.toFixed(decimals === undefined ? 2 : decimals) });
        }
    }
    return result;
}

// The sleep chart's ticks over [minX, maxX], right to left from 0: whole
// units, or minutes with " min" where the range spans 300 or more.
function sleepTicks(minX, maxX, xStep, width) {
    var span = maxX - minX;
    var plain = ticks(0, 0, span, xStep, width, 0);
    var inMinutes = span >= 300;
    return plain.map(function (tick, index) {
        var value = index * (span / (plain.length - 1));
        return {
            "position": 1 - tick.position,
            "label": inMinutes ? Math.round(value / 60) + " min" : String(Math.round(value))
        };
    });
}

// -- labels

// The range labels: whole numbers as they are; fractions with two decimals
// below magnitude 1, one below 100, none above.
function valueLabel(value) {
    if (Number.isInteger(value))
        return String(value);
    var magnitude = Math.abs(value);
    if (magnitude < 1)
        return value.toFixed(2);
    if (magnitude < 100)
        return value.toFixed(1);
    return value.toFixed(0);
}

// The heat map's range labels: one decimal for fractions.
function colormapValueLabel(value) {
    return Number.isInteger(value) ? String(value) : value.toFixed(1);
}

// -- when to paint

// Charts paint only over the application page: the stack holds the device
// menu, the application menu and that page, nothing above.
var paintingStackDepth = 3;
function stackAllowsPainting(depth) {
    return depth === undefined || depth === paintingStackDepth;
}

// Whether an item shows on screen: it and every item up to the window are
// visible and not transparent.
function isShown(item) {
    if (!item || !item.visible)
        return false;
    for (var node = item; node; node = node.parent) {
        if (!(node.opacity > 0))
            return false;
    }
    return true;
}

// A time chart repaints on its timer while the device is live or its
// recording plays (a paused recording stands still).
var PlayingState = 1;
function timeChartRuns(history, isPlaybackDevice, playbackState) {
    return history > 0 && (!isPlaybackDevice || playbackState === PlayingState);
}

// The playback rate the time scale runs at: 1 for a live module.
function playbackRate(device) {
    if (!device || !device.isPlaybackDevice)
        return 1;
    var rate = Number(device.playbackRate);
    return rate > 0 ? rate : 1;
}
