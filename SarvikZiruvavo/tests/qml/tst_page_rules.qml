// The application pages' and detail windows' rules, without drawing: state
// texts, which values reach the charts, the range-bin charts' value ranges
// and phases, the heart-rate bands, the hypnogram and the surfaces.
import QtQuick 2.15
import QtTest 1.15
import "qrc:/js/pages.js" as Pages
import "qrc:/js/global.js" as Global

TestCase {
    name: "PageRules"

    function test_stateText_data() {
        return [
            { tag: "presence: no presence", family: "presence", state: 0, text: "NO PRESENCE" },
            { tag: "presence: presence", family: "presence", state: 1, text: "PRESENCE" },
            { tag: "presence: initializing", family: "presence", state: 2,
              text: "INITIALIZING\n(MAY TAKE SEVERAL MINUTES)" },
            { tag: "presence: unknown", family: "presence", state: 3, text: "UNKNOWN" },
            { tag: "presence: no connection", family: "presence", state: 4, text: "NO CONNECTION" },
            { tag: "presence: other", family: "presence", state: 5, text: "UNDEFINED" },
            { tag: "respiration: breathing", family: "respiration", state: 0, text: "RESPIRATION" },
            { tag: "respiration: movement", family: "respiration", state: 1, text: "MOVEMENT" },
            { tag: "respiration: tracking", family: "respiration", state: 2,
              text: "MOVEMENT\n(POSSIBLE RESPIRATION)" },
            { tag: "respiration: no movement", family: "respiration", state: 3, text: "NO MOVEMENT" },
            { tag: "respiration: initializing", family: "respiration", state: 4, text: "INITIALIZING" },
            { tag: "respiration: error", family: "respiration", state: 5, text: "ERROR" },
            { tag: "respiration: unknown", family: "respiration", state: 6, text: "UNKNOWN" },
            { tag: "respiration: no connection", family: "respiration", state: 7, text: "NO CONNECTION" },
            { tag: "respiration: other", family: "respiration", state: 8, text: "UNDEFINED" },
            { tag: "adult: breathing", family: "adult", state: 0, text: "BREATHING" },
            { tag: "adult: movement", family: "adult", state: 1, text: "MOVEMENT" },
            { tag: "adult: tracking", family: "adult", state: 2, text: "MOVEMENT TRACKING" },
            { tag: "adult: no movement", family: "adult", state: 3, text: "NO MOVEMENT" },
            { tag: "adult: initializing", family: "adult", state: 4, text: "INITIALIZING\n(MAY TAKE SEVERAL MINUTES)" },
            { tag: "adult: error", family: "adult", state: 5, text: "ERROR" },
            { tag: "adult: unknown", family: "adult", state: 6, text: "UNKNOWN" },
            { tag: "adult: heart rate", family: "adult", state: 7, text: "HEARTRATE" },
            { tag: "adult: no connection", family: "adult", state: 8, text: "NO CONNECTION" },
            { tag: "adult: other", family: "adult", state: 9, text: "UNDEFINED" },
            { tag: "no state yet", family: "adult", state: undefined, text: "UNDEFINED" },
            { tag: "negative", family: "presence", state: -1, text: "UNDEFINED" }
        ];
    }
    function test_stateText(data) {
        compare(Pages.stateText(data.family, data.state), data.text);
    }

    function test_respirationDetail() {
        compare(Pages.respirationDetailText(0, 12, 1.24), "12 RPM\n1.2 METERS");
        compare(Pages.respirationDetailText(4, 40, 0), "40 %", "the progress rides in the rpm");
        compare(Pages.respirationDetailText(1, 12, 1.24), "");
        compare(Pages.respirationDetailText(0, 12, Infinity), "12 RPM\n0.0 METERS");
    }

    function test_reconnectStates() {
        verify(Pages.isNoConnection("presence", 4));
        verify(Pages.isNoConnection("respiration", 7));
        verify(Pages.isNoConnection("adult", 8));
        verify(!Pages.isNoConnection("adult", 7), "the heart-rate state is not a lost module");
        compare(Pages.reconnectInterval, 2000);
    }

    function test_gate_data() {
        return [
            { tag: "allowed number", allowed: true, value: 1.5, finite: true },
            { tag: "refused by the state", allowed: false, value: 1.5, finite: false },
            { tag: "infinity", allowed: true, value: Infinity, finite: false },
            { tag: "minus infinity", allowed: true, value: -Infinity, finite: false },
            { tag: "not a number", allowed: true, value: NaN, finite: false },
            { tag: "no value", allowed: true, value: undefined, finite: false }
        ];
    }
    function test_gate(data) {
        var value = Pages.gate(data.allowed, data.value);
        if (data.finite)
            compare(value, data.value);
        else
            verify(isNaN(value), "expected a gap, got " + value);
    }

    function test_statesThatDraw() {
        // presence: distance only while present; movement but in unknown and
        // no connection; lists but while initializing or unknown
        compare([0, 1, 2, 3, 4].map(Pages.presenceDistanceShown), [false, true, false, false, false]);
        compare([0, 1, 2, 3, 4].map(Pages.presenceMovementShown), [true, true, true, false, false]);
        compare([0, 1, 2, 3, 4].map(Pages.presenceListShown), [true, true, false, false, true]);
        var adult = [0, 1, 2, 3, 4, 5, 6, 7, 8];
        compare(adult.map(Pages.adultBreathingShown), [true, false, false, false, false, false, false, true, false]);
        compare(adult.map(Pages.adultDistanceShown), [true, true, true, false, false, false, false, true, false]);
        verify(Pages.adultBreathingDistanceShown(0, 2));
        verify(!Pages.adultBreathingDistanceShown(0, 1), "one detection is the closest target only");
        verify(!Pages.adultBreathingDistanceShown(7, 3), "only while breathing");
    }

    function test_heartrateBand_data() {
        return [
            { tag: "high", confidence: 9, band: 0, color: "#317743" },
            { tag: "seven", confidence: 7, band: 0, color: "#317743" },
            { tag: "six", confidence: 6, band: 1, color: "#3c9652" },
            { tag: "four", confidence: 4, band: 1, color: "#3c9652" },
            { tag: "just below four", confidence: 3.9, band: 2, color: "#4fbc6a" },
            { tag: "none", confidence: 0, band: 2, color: "#4fbc6a" }
        ];
    }
    function test_heartrateBand(data) {
        compare(Pages.heartrateBand(data.confidence), data.band);
        compare(Pages.heartrateColors[data.band], data.color);
    }

    function test_hypnogram() {
        compare(Pages.hypnogramPoints([1, 2, 3], 30, 4).map(function (p) { return [p.x, p.y, p.state]; }),
                [[-90, 1, 1], [-60, 2, 2], [-30, 3, 3], [0, 4, 4]]);
        compare(Pages.hypnogramPoints([], 30, 5).length, 1, "the current stage alone");
        compare(Pages.sleepChartStart(true, 960, 30, 120000), -28800);
        compare(Pages.sleepChartStart(false, 960, 30, 120000), -120);
        compare(Pages.sleepStageLabels(), ["No Presence", "Awake", "REM", "Light Sleep", "Deep Sleep", "Unknown"]);
        compare(Pages.sleepStageName(3), "REM");
        compare(Pages.sleepStageName(9), "");
    }

    function test_heatMapValues() {
        compare(Pages.heatMapMargin(100, 9), 4.5);
        compare(Pages.heatMapMargin(5, 9), 0, "never below 0");
        compare(Pages.heatValue(-Infinity, -40), -40, "a cell that cannot be drawn takes the bottom");
        compare(Pages.heatValue(NaN, 0), 0);
        compare(Pages.heatValue(3, 0), 3);
    }

    // -- the range-bin charts' ranges

    function frame(max, min) {
        return [min === undefined ? 0 : min, max / 2, max];
    }
    function settled(kind, max) {
        var range = Pages.newRange();
        for (var i = 0; i < Pages.settleFrames; ++i)
            Pages.takeFrame(range, kind, frame(max));
        return range;
    }

    function test_frameRange_data() {
        return [
            { tag: "logarithmic", kind: "log", min: -10, max: 20, range: { "min": -40, "max": 23 } },
            { tag: "linear", kind: "linear", min: 0.5, max: 20, range: { "min": 0.5, "max": 23 } },
            { tag: "carrier", kind: "carrier", min: -4, max: 20, range: { "min": -7, "max": 23 } },
            { tag: "flat frame", kind: "linear", min: 0, max: 0, range: { "min": 0, "max": 1 } }
        ];
    }
    function test_frameRange(data) {
        compare(Pages.frameRange(data.kind, data.min, data.max), data.range);
    }

    function test_firstFramesSetTheRange() {
        var range = Pages.newRange();
        for (var i = 1; i <= Pages.settleFrames; ++i) {
            Pages.takeFrame(range, "linear", frame(i * 20));
            compare(range.max, i * 23, "frame " + i);
        }
        Pages.takeFrame(range, "linear", frame(40));
        compare(range.max, 1150, "after 50 frames a frame inside the range keeps it");
    }

    function test_rescaleAfterSixFramesOut_data() {
        return [
            { tag: "half the maximum, six frames", kind: "linear", max: 20, next: 10, frames: 7, rescaled: 11.5 },
            { tag: "half the maximum, five frames", kind: "linear", max: 20, next: 10, frames: 6, rescaled: 23 },
            { tag: "above the maximum", kind: "linear", max: 20, next: 40, frames: 7, rescaled: 46 },
            { tag: "less than 45 % below stays", kind: "linear", max: 20, next: 13, frames: 10, rescaled: 23 },
            // As powers 8 dB is 63 % of 10 dB and 7 dB only 50 %.
            { tag: "logarithmic, 2 dB lower stays", kind: "log", max: 10, next: 9.5, frames: 10, rescaled: 11.5 },
            { tag: "logarithmic, 3 dB lower rescales", kind: "log", max: 10, next: 8.5, frames: 7, rescaled: 9.775 }
        ];
    }
    function test_rescaleAfterSixFramesOut(data) {
        var range = settled(data.kind, data.max);
        var shown = range.max;
        for (var i = 1; i < data.frames; ++i) {
            Pages.takeFrame(range, data.kind, frame(data.next));
            compare(range.max, shown, "frame " + i + " keeps the range");
        }
        Pages.takeFrame(range, data.kind, frame(data.next));
        compare(range.max, data.rescaled);
    }

    function test_runBrokenByAFrameInside() {
        var range = settled("linear", 20);
        for (var i = 0; i < 5; ++i)
            Pages.takeFrame(range, "linear", frame(10));
        Pages.takeFrame(range, "linear", frame(20));
        for (i = 0; i < 5; ++i)
            Pages.takeFrame(range, "linear", frame(10));
        compare(range.max, 23, "two runs of five are not six in a row");
        verify(!range.recompute);
    }

    function test_recomputeOnRequest() {
        var range = settled("linear", 20);
        Pages.recomputeRange(range);
        Pages.takeFrame(range, "log", frame(30));
        compare([range.min, range.max], [-30, 34.5], "the next frame sets the range (a new scale)");
    }

    function test_framesWithoutFiniteValues() {
        var range = settled("log", 20);
        var before = JSON.stringify(range);
        verify(!Pages.takeFrame(range, "log", [NaN, -Infinity, Infinity]));
        compare(JSON.stringify(range), before, "such a frame neither counts nor changes the range");
        // A zero sample gives minus infinity on the log scale: left out.
        range = Pages.newRange();
        Pages.takeFrame(range, "log", [-Infinity, 10, 20]);
        compare([range.min, range.max], [-40, 23]);
    }

    function test_binPhase_data() {
        var phases = [0.1, 0.2, 3.0, -3.0];
        return [
            { tag: "bin 0 is the raw phase", phases: phases, index: 0, phase: 0.1 },
            { tag: "bin 1: previous minus this one", phases: phases, index: 1, phase: -0.1 },
            { tag: "bin 3: wrapped into -pi..pi", phases: phases, index: 3, phase: 6 - 2 * Math.PI },
            { tag: "bin 2: wrapped the other way", phases: phases, index: 2, phase: -2.8 },
            { tag: "beyond the frame", phases: phases, index: 4, phase: NaN }
        ];
    }
    function test_binPhase(data) {
        var phase = Pages.binPhase(data.phases, data.index);
        if (isNaN(data.phase))
            verify(isNaN(phase));
        else
            fuzzyCompare(phase, data.phase, 1e-9);
    }

    function test_surface() {
        var stops = Pages.surfaceGradientStops(Global.colormap);
        compare(stops.length, 257);
        compare(stops[0], { "position": 0, "color": "#440154" });
        compare(stops[256], { "position": 1, "color": "#fee724" });
        for (var i = 1; i < stops.length; ++i)
            verify(stops[i].position > stops[i - 1].position);
        compare(Pages.surfaceOfInstance(0), "slow");
        compare(Pages.surfaceOfInstance(1), "fast");
        compare(Pages.surfaceOfInstance(2), "", "other instances are ignored");
        compare(Pages.dragPowerAxis(-50, 10, 100), { "min": -48, "max": 12 });
        compare(Pages.dragPowerAxis(-50, 10, -25), { "min": -50.5, "max": 9.5 });
    }
}
