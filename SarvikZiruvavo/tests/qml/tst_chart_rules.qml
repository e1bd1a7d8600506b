// The charts' rules without drawing: how a series takes values, the value
// range, the mapping to pixels, what a paint draws and the tick row.
import QtQuick 2.15
import QtTest 1.15
import "qrc:/js/charts.js" as Charts
import "qrc:/js/global.js" as Global

TestCase {
    name: "ChartRules"

    // Feeds values at a steady rate from ms to ms into a time series of
    // history ms on a chart width pixels wide, as a chart does (drop, then
    // add), with the clock at each value's time. value(t) gives the value at
    // time t. Returns the last time.
    function feed(series, perSecond, from, to, history, width, value, state) {
        var span = Charts.pixelTime(history, width);
        var step = 1000 / perSecond;
        var last = from;
        for (var t = from; t < to; t += step) {
            Charts.dropOldTime(series, t, history, 1);
            Charts.addValue(series, t, value(t), state, span);
            last = t;
        }
        return last;
    }

    // A recorder of what a paint traces.
    function recorder() {
        var ops = [];
        return {
            "ops": ops,
            "moveTo": function (x, y) { ops.push(["M", Math.round(x * 100) / 100, Math.round(y * 100) / 100]); },
            "lineTo": function (x, y) { ops.push(["L", Math.round(x * 100) / 100, Math.round(y * 100) / 100]); }
        };
    }
    function timeView(now, width, height) {
        return { "width": width, "height": height, "min": 0, "max": 100, "margin": 0, "history": 4000, "now": now,
                 "rate": 1, "minX": 0, "maxX": 0 };
    }
    function entry(x, y, state, count) {
        return { "x": x, "y": y, "count": count === undefined ? 1 : count, "state": state, "moved": false };
    }

    function test_fastValuesKeepOneEntryPerPixelColumn() {
        // 1000 values a second for 4 s into a 4000 ms chart 400 pixels
        // wide: 10 ms a pixel column.
        var series = [];
        feed(series, 1000, 0, 4000, 4000, 400, function (t) { return t % 37; }, 0);
        verify(series.length >= 399 && series.length <= 401, "entries: " + series.length);
        // Each entry is the mean of its column's ten values.
        var middle = series[200];
        compare(middle.count, 10);
        var sum = 0;
        for (var t = middle.x; t < middle.x + 10; ++t)
            sum += t % 37;
        compare(middle.y, sum);
        // Over a longer run the entries that left the chart go.
        feed(series, 1000, 4000, 16000, 4000, 400, function (t) { return t % 37; }, 0);
        verify(series.length <= 402, "entries after 12 s: " + series.length);
    }

    function test_constantValueKeepsItsFirstAndLastEntry_data() {
        return [
            { tag: "whole number", value: 42 },
            // Sums of 0.1 are not exactly 0.1 times their count.
            { tag: "fraction", value: 0.1 },
            { tag: "negative", value: -3.3 }
        ];
    }
    function test_constantValueKeepsItsFirstAndLastEntry(data) {
        var series = [];
        var last = feed(series, 1000, 0, 30000, 4000, 400, function () { return data.value; }, 0);
        compare(series.length, 2);
        compare(series[1].x, last, "the last entry moved to the newest value");
        verify(series[1].moved);
        fuzzyCompare(series[0].y / series[0].count, data.value, 1e-12);
    }

    function test_stateChangeStartsANewEntryAtTheSameValue() {
        var series = [];
        Charts.addValue(series, 0, 5, 0, 10);
        Charts.addValue(series, 20, 5, 0, 10);
        Charts.addValue(series, 30, 5, 0, 10);
        compare(series.length, 2);
        // Same value, within the pixel column, another state.
        Charts.addValue(series, 31, 5, 1, 10);
        compare(series.length, 3);
        compare(series[2].state, 1);
        // The run of the new state does not collapse into the old one.
        Charts.addValue(series, 45, 5, 1, 10);
        compare(series.length, 4);
        Charts.addValue(series, 60, 5, 1, 10);
        compare(series.length, 4);
        compare(series[3].x, 60);
    }

    function test_notANumberJoinsAndIsReplaced() {
        var series = [];
        Charts.addValue(series, 0, NaN, 0, 10);
        Charts.addValue(series, 2, NaN, 0, 10);
        compare(series.length, 1);
        verify(isNaN(series[0].y));
        // A number in the same column replaces the not-a-number sum.
        Charts.addValue(series, 4, 7, 0, 10);
        compare(series[0].y, 7);
        compare(series[0].count, 1);
        // A not-a-number joining a number changes nothing.
        Charts.addValue(series, 6, NaN, 0, 10);
        compare(series[0].y, 7);
        compare(series[0].count, 1);
        // In the next column it is an entry of its own.
        Charts.addValue(series, 12, NaN, 0, 10);
        compare(series.length, 2);
        verify(isNaN(series[1].y));
    }

    function test_xRangeSeriesAppendsEveryValue() {
        var series = [];
        for (var i = 0; i < 5; ++i)
            Charts.addValue(series, i, 3, undefined, 0);
        compare(series.length, 5);
    }

    function test_dropping() {
        var series = [entry(0, 1), entry(1000, 2), entry(3000, 3), entry(5000, 4)];
        // At 5000 ms with 4000 ms of history the second entry (1000) is on
        // the left edge: it shows, and the line from the first one too.
        Charts.dropOldTime(series, 5000, 4000, 1);
        compare(series.length, 4);
        // A moment later it is outside: the first goes; the next, at 3000,
        // is inside.
        Charts.dropOldTime(series, 5001, 4000, 1);
        compare(series.map(function (e) { return e.x; }), [1000, 3000, 5000]);
        // At twice the playback rate the chart spans 2000 ms of time stamps.
        Charts.dropOldTime(series, 5001, 4000, 2);
        compare(series.map(function (e) { return e.x; }), [3000, 5000]);
        // One entry always stays.
        Charts.dropOldTime(series, 100000, 4000, 1);
        compare(series.length, 1);
        var range = [entry(-2, 1), entry(-1, 1), entry(0, 1), entry(1, 1)];
        Charts.dropOldRange(range, 0);
        compare(range.map(function (e) { return e.x; }), [-1, 0, 1]);
    }

    function test_autoScale_data() {
        return [
            { tag: "above the max", min: 0, max: 10, value: 5.5, wantMin: 0, wantMax: 10 },
            { tag: "small value above", min: 0, max: 1, value: 2, wantMin: 0, wantMax: 2.2 },
            { tag: "large value above rounds up", min: 0, max: 10, value: 50.2, wantMin: 0, wantMax: 56 },
            { tag: "negative value above", min: -100, max: -50, value: -20, wantMin: -100, wantMax: -18 },
            { tag: "below the min", min: 0, max: 10, value: -3, wantMin: -3.3, wantMax: 10 },
            { tag: "large value below rounds down", min: 0, max: 10, value: -50.2, wantMin: -56, wantMax: 10 },
            { tag: "positive value below", min: 10, max: 100, value: 5, wantMin: 4.5, wantMax: 100 },
            { tag: "within the range", min: 0, max: 10, value: 3, wantMin: 0, wantMax: 10 },
            { tag: "not a number", min: 0, max: 10, value: NaN, wantMin: 0, wantMax: 10 },
            // The chart's own start, min 100 and max 0: the first value sets
            // the max, the next one below 100 the min.
            { tag: "first value", min: 100, max: 0, value: 50, wantMin: 100, wantMax: 55 }
        ];
    }
    function test_autoScale(data) {
        var range = Charts.autoScale(data.min, data.max, data.value);
        fuzzyCompare(range.min, data.wantMin, 1e-9);
        fuzzyCompare(range.max, data.wantMax, 1e-9);
    }

    function test_frameInterval_data() {
        return [
            { tag: "120 s on 600 px", history: 120000, width: 600, interval: 25 },
            { tag: "4 s on 400 px", history: 4000, width: 400, interval: 25 },
            { tag: "300 s on 500 px", history: 300000, width: 500, interval: 50 },
            { tag: "600 s on 500 px", history: 600000, width: 500, interval: 100 },
            { tag: "one second a pixel", history: 500000, width: 500, interval: 100 }
        ];
    }
    function test_frameInterval(data) {
        compare(Charts.frameInterval(Charts.secondsPerPixel(data.history, data.width)), data.interval);
    }

    function test_repaintsKeepInStepWithTheClock() {
        compare(Charts.nextTickDelay(1000, 25), 25);
        compare(Charts.nextTickDelay(1013, 25), 12);
        compare(Charts.nextTickDelay(1024, 25), 1);
        compare(Charts.nextTickDelay(1024.5, 25), 1, "never less than a millisecond");
        compare(Charts.nextTickDelay(1070, 100), 30);
    }

    function test_mergingWidthOfAChartWithoutSize() {
        compare(Charts.mergingWidth(400, 300), 400);
        compare(Charts.mergingWidth(0, 300), 300);
        compare(Charts.mergingWidth(0, 0), Charts.fallbackWidth);
        compare(Charts.pixelTime(0, 400), 0, "no merging over x ranges");
        compare(Charts.pixelTime(4000, 400), 10);
    }

    function test_lineBreaksAtNotANumbers() {
        var path = recorder();
        // Time mode, now 4000 on 400 px: x = t / 10; y = 100 - v.
        var series = [entry(1000, 10), entry(2000, 20), entry(2500, NaN), entry(3000, 30), entry(3500, 40)];
        Charts.traceLine(path, series, timeView(4000, 400, 100));
        compare(path.ops, [
            ["M", 100, 90], ["L", 200, 80],
            // The not-a-number ends the line level with the last value.
            ["L", 250, 80],
            ["M", 300, 70], ["L", 350, 60],
            // A line ending in a number goes on to now.
            ["L", 400, 60]
        ]);
        // A line ending in a not-a-number does not.
        path = recorder();
        Charts.traceLine(path, [entry(1000, 10), entry(2000, NaN)], timeView(4000, 400, 100));
        compare(path.ops, [["M", 100, 90], ["L", 200, 90]]);
        // Means are drawn; fewer than two entries draw nothing.
        path = recorder();
        Charts.traceLine(path, [entry(2000, 50, 0, 5), entry(3000, 60, 0, 2)], timeView(4000, 400, 100));
        compare(path.ops[0], ["M", 200, 90]);
        compare(path.ops[1], ["L", 300, 70]);
        path = recorder();
        Charts.traceLine(path, [entry(2000, 50)], timeView(4000, 400, 100));
        compare(path.ops, []);
    }

    function test_mappingOfValues() {
        var view = { "width": 200, "height": 104, "min": -5, "max": 5, "margin": 2, "history": 0, "minX": 0,
                     "maxX": 10 };
        compare(Charts.mapY(view, 5), 2);
        compare(Charts.mapY(view, -5), 102);
        compare(Charts.mapY(view, 0), 52);
        compare(Charts.mapX(view, 5), 100);
        // An empty range draws in the middle instead of dividing by zero.
        view.max = view.min;
        compare(Charts.mapY(view, 3), 52);
    }

    function test_stateBands() {
        var bands = [];
        var colors = ["blue", "orange"];
        var series = [entry(1000, 1, 0), entry(1500, 1, 0), entry(2000, 1, 1), entry(3000, 1, -1), entry(3500, 1, 0)];
        Charts.traceBands(function (x, w, color) { bands.push([x, w, color]); }, series, timeView(4000, 400, 100), colors);
        compare(bands, [
            // Each run reaches one pixel into the next.
            [100, 101, "blue"], [200, 101, "orange"],
            // State -1 has no band; the last run reaches the right edge.
            [350, 50, "blue"]
        ]);
    }

    function test_barsAverageEntriesWhereTheyDoNotFit() {
        var view = { "width": 100, "height": 100, "min": 0, "max": 100, "margin": 0, "history": 0, "minX": 0,
                     "maxX": 10 };
        var bars = [];
        var fill = function (x, top, w, h) { bars.push({ "x": x, "top": top, "width": w, "height": h }); };
        Charts.traceBars(fill, [entry(0, 20), entry(1, 40), entry(2, NaN), entry(3, 80)], view);
        compare(bars.length, 3, "no bar for a not-a-number");
        compare(bars[0], { "x": 1, "top": 80, "width": 23, "height": 20 });
        compare(bars[2], { "x": 76, "top": 20, "width": 23, "height": 80 });
        // 100 entries on 100 px: 1 - 2 is below 0.8; three to a bar give
        // 34 bars of 100/34 - 2 = 0.94 px.
        var many = [];
        for (var i = 0; i < 100; ++i)
            many.push(entry(i, i));
        bars = [];
        Charts.traceBars(fill, many, view);
        compare(bars.length, 34);
        compare(bars[0].top, 100 - 1, "the mean of 0, 1 and 2");
        // No room at all: nothing, and no endless search for a bar width.
        bars = [];
        view.width = 2;
        Charts.traceBars(fill, many, view);
        compare(bars.length, 0);
        view.width = 0;
        Charts.traceBars(fill, many, view);
        compare(bars.length, 0);
    }

    function test_barGradient() {
        var stops = Charts.barGradientStops(Global.colormap);
        compare(stops.length, 45);
        compare(stops[0].position, 1, "row 79 at the bottom");
        compare(stops[44].position, 0, "row 255 at the top");
        compare(stops[44].color, "#fde725");
    }

    function test_timeTicks_data() {
        return [
            { tag: "4 s on 400 px", history: 4000, width: 400, labels: ["0", "1", "2", "3", "4"] },
            { tag: "120 s on 400 px", history: 120000, width: 400,
              labels: ["0", "20", "40", "60", "80", "100", "120"] },
            { tag: "30 s on 600 px", history: 30000, width: 600, labels: ["0", "10", "20", "30"] },
            // Histories that do not divide: the step comes down to one that
            // does, at worst 1, and the count is whole.
            { tag: "4500 ms on 400 px", history: 4500, width: 400, labels: ["0", "1", "2", "3", "4", "5"] },
            { tag: "4500 ms on 20 px", history: 4500, width: 20, labels: ["0", "5"] },
            { tag: "45500 ms on 400 px", history: 45500, width: 400,
              labels: ["0", "2", "4", "6", "8", "10", "12", "14", "16", "18", "20", "22", "24", "26", "28", "30", "32",
                       "34", "36", "38", "40", "42", "44", "46"] },
            { tag: "97 s, a prime, on 300 px", history: 97000, width: 300,
              labels: Array.apply(null, Array(98)).map(function (_, i) { return String(i); }) },
            { tag: "300 ms on 400 px", history: 300, width: 400, labels: ["0", "1"] },
            { tag: "no width", history: 4000, width: 0, labels: [] }
        ];
    }
    function test_timeTicks(data) {
        var ticks = Charts.ticks(data.history, 0, 0, 0, data.width, 2);
        compare(ticks.map(function (t) { return t.label; }), data.labels);
        if (ticks.length > 0) {
            compare(ticks[0].position, 1, "0 at the right edge");
            compare(ticks[ticks.length - 1].position, 0);
        }
    }

    function test_rangeTicks_data() {
        return [
            { tag: "0 to 5 m by 0.5 on 600 px", minX: 0, maxX: 5, xStep: 0.5, width: 600, decimals: 2,
              labels: ["0.00", "0.50", "1.00", "1.50", "2.00", "2.50", "3.00", "3.50", "4.00", "4.50", "5.00"] },
            // A tick about every 50 px: nine over 400 px.
            { tag: "100 bins on 400 px", minX: 0, maxX: 5, xStep: 0.05, width: 400, decimals: 1,
              labels: ["0.0", "0.6", "1.3", "1.9", "2.5", "3.1", "3.8", "4.4", "5.0"] },
            { tag: "no step", minX: 0, maxX: 5, xStep: 0, width: 400, decimals: 2, labels: [] },
            { tag: "empty range", minX: 2, maxX: 2, xStep: 0.1, width: 400, decimals: 2, labels: [] }
        ];
    }
    function test_rangeTicks(data) {
        var ticks = Charts.ticks(0, data.minX, data.maxX, data.xStep, data.width, data.decimals);
        compare(ticks.map(function (t) { return t.label; }), data.labels);
        if (ticks.length > 0)
            compare(ticks[0].position, 0, "left to right");
    }

    function test_sleepTicks() {
        // Eight hours of 30-second epochs on 600 px: minutes.
        var ticks = Charts.sleepTicks(-28800, 0, 30, 600);
        compare(ticks[0].label, "0 min");
        compare(ticks[0].position, 1);
        compare(ticks[ticks.length - 1].label, "480 min");
        // Two minutes of history: seconds.
        ticks = Charts.sleepTicks(-120, 0, 30, 600);
        compare(ticks.map(function (t) { return t.label; }), ["0", "30", "60", "90", "120"]);
    }

    function test_valueLabels_data() {
        return [
            { tag: "whole", value: 70, label: "70", colormap: "70" },
            { tag: "negative whole", value: -90, label: "-90", colormap: "-90" },
            { tag: "small fraction", value: 0.456, label: "0.46", colormap: "0.5" },
            { tag: "fraction", value: 12.34, label: "12.3", colormap: "12.3" },
            { tag: "large fraction", value: 123.6, label: "124", colormap: "123.6" },
            { tag: "negative fraction", value: -5.25, label: "-5.3", colormap: "-5.3" }
        ];
    }
    function test_valueLabels(data) {
        compare(Charts.valueLabel(data.value), data.label);
        compare(Charts.colormapValueLabel(data.value), data.colormap);
    }

    function test_whenTimeChartsRun() {
        verify(Charts.timeChartRuns(4000, false, 0), "a live device");
        verify(Charts.timeChartRuns(4000, true, Charts.PlayingState), "a recording that plays");
        verify(!Charts.timeChartRuns(4000, true, 2), "a paused recording");
        verify(!Charts.timeChartRuns(4000, true, 0), "a stopped recording");
        verify(!Charts.timeChartRuns(0, false, 0), "an x-range chart");
        verify(Charts.stackAllowsPainting(3));
        verify(!Charts.stackAllowsPainting(4), "a settings page covers the application page");
        verify(Charts.stackAllowsPainting(undefined), "no page stack");
        compare(Charts.playbackRate(null), 1);
        compare(Charts.playbackRate({ "isPlaybackDevice": false, "playbackRate": 5 }), 1);
        compare(Charts.playbackRate({ "isPlaybackDevice": true, "playbackRate": 5 }), 5);
    }

    // A time chart repaints on its tick only when the picture would change:
    // scrolled by a pixel, or values came a while ago.
    function test_tickRepaints_data() {
        // 120 s over 600 pixels: 200 ms a pixel.
        return [
            { tag: "never drawn", paintedAt: 0, now: 1000, rate: 1, pending: false, since: 0, repaints: true },
            { tag: "less than a pixel", paintedAt: 10000, now: 10150, rate: 1, pending: false, since: 150,
              repaints: false },
            { tag: "a pixel", paintedAt: 10000, now: 10200, rate: 1, pending: false, since: 200, repaints: true },
            { tag: "a pixel at twice the pace", paintedAt: 10000, now: 10100, rate: 2, pending: false, since: 100,
              repaints: true },
            { tag: "new values, fresh picture", paintedAt: 10000, now: 10100, rate: 1, pending: true, since: 100,
              repaints: false },
            { tag: "new values, a quarter second", paintedAt: 10000, now: 10000, rate: 1, pending: true, since: 250,
              repaints: true },
            { tag: "clock stands still, nothing new", paintedAt: 10000, now: 10000, rate: 1, pending: false,
              since: 5000, repaints: false }
        ];
    }
    function test_tickRepaints(data) {
        var scrolled = Charts.scrolledPixels(data.paintedAt, data.now, 120000, data.rate, 600);
        compare(Charts.tickRepaints(scrolled, data.pending, data.since), data.repaints);
    }
}
