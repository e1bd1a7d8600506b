// The rules of the settings pages, the control panel and the playback bar,
// without drawing.
import QtQuick 2.15
import QtTest 1.15
import "qrc:/js/settings.js" as Settings
import "qrc:/js/controls.js" as Controls

TestCase {
    name: "ControlRules"

    function test_timeText_data() {
        return [
            { tag: "zero", ms: 0, text: "00:00" },
            { tag: "seconds", ms: 7999, text: "00:07" },
            { tag: "minutes and seconds", ms: 61000, text: "01:01" },
            { tag: "last second of an hour", ms: 3599999, text: "59:59" },
            { tag: "hours", ms: 3723000, text: "1:02:03" },
            { tag: "ten hours", ms: 36000000, text: "10:00:00" },
            { tag: "hours count modulo 24", ms: 90061000, text: "1:01:01" },
            { tag: "no duration yet", ms: -1, text: "00:00" }
        ];
    }
    function test_timeText(data) {
        compare(Controls.timeText(data.ms), data.text);
    }

    function test_positionText() {
        compare(Controls.positionText(61000, 3723000), "01:01 / 1:02:03");
    }

    function test_positionRatio_data() {
        return [
            { tag: "start", position: 0, duration: 1000, ratio: 0 },
            { tag: "middle", position: 250, duration: 1000, ratio: 0.25 },
            { tag: "end", position: 1000, duration: 1000, ratio: 1 },
            { tag: "beyond the end", position: 1200, duration: 1000, ratio: 1 },
            { tag: "no player", position: -1, duration: -1, ratio: 0 },
            { tag: "empty recording", position: 0, duration: 0, ratio: 0 }
        ];
    }
    function test_positionRatio(data) {
        compare(Controls.positionRatio(data.position, data.duration), data.ratio);
    }

    function test_playPause() {
        compare(Controls.playPauseWrites(Controls.PlayingState), [["playbackState", Controls.PausedState]]);
        compare(Controls.playPauseWrites(Controls.PausedState), [["playbackState", Controls.PlayingState]]);
        // A stopped recording starts from the beginning.
        compare(Controls.playPauseWrites(Controls.StoppedState),
                [["playbackPosition", 0], ["playbackState", Controls.PlayingState]]);
        verify(Controls.stopsAtEnd(1, false));
        verify(!Controls.stopsAtEnd(1, true), "a looping recording goes on");
        verify(!Controls.stopsAtEnd(0.99, false));
        compare(Controls.speedValue(0.30000000000000004), 0.3);
    }

    function test_detailWindowPlace_data() {
        var desktop = { "x": 0, "y": 0, "width": 1920, "height": 1040 };
        return [
            { tag: "more room on the right", main: { "x": 100, "y": 50, "width": 700, "height": 900 },
              desktop: desktop, other: false, x: 804, y: 50, right: true },
            { tag: "equal room goes right", main: { "x": 610, "y": 0, "width": 700, "height": 900 },
              desktop: desktop, other: false, x: 1220, y: 0, right: true },
            { tag: "kept on the desktop on the right", main: { "x": 600, "y": 0, "width": 700, "height": 900 },
              desktop: desktop, other: false, x: 1220, y: 0, right: true },
            { tag: "more room on the left", main: { "x": 1200, "y": 20, "width": 700, "height": 900 },
              desktop: desktop, other: false, x: 496, y: 20, right: false },
            { tag: "not beyond the left edge", main: { "x": 500, "y": 20, "width": 700, "height": 900 },
              desktop: { "x": 0, "y": 0, "width": 1200, "height": 1040 }, other: false, x: 0, y: 20,
              right: false },
            { tag: "the other window sits on the right", main: { "x": 100, "y": 50, "width": 700, "height": 900 },
              desktop: desktop, other: true, x: 0, y: 50, right: false },
            { tag: "second screen", main: { "x": 2020, "y": 50, "width": 700, "height": 900 },
              desktop: { "x": 1920, "y": 0, "width": 1920, "height": 1080 }, other: false, x: 2724, y: 50,
              right: true }
        ];
    }
    function test_detailWindowPlace(data) {
        var place = Controls.detailWindowPlace(data.main, data.desktop, { "width": 700, "height": 900 }, data.other);
        compare(place.x, data.x);
        compare(place.y, data.y);
        compare(place.right, data.right);
    }

    function test_detailWindowSize() {
        var main = { "x": 0, "y": 0, "width": 700, "height": 1000 };
        compare(Controls.detailWindowSize("baseband", main, 580, 800), { "width": 700, "height": 1000 });
        compare(Controls.detailWindowSize("pulseDoppler", { "width": 500, "height": 600 }, 580, 800),
                { "width": 580, "height": 800 });
        compare(Controls.detailWindowSize("movement", main, 580, 800), { "width": 700, "height": 500 });
        verify(!Controls.isUserMove(1000, 1250), "the window manager's own move after showing");
        verify(Controls.isUserMove(1000, 1251));
    }

    function test_panelTexts() {
        compare(Controls.legendKeys(true), ["No presence", "Presence"]);
        compare(Controls.legendKeys(false), ["Respiration", "Movement"]);
        compare(Controls.signalQualityText(7), "SIGNAL QUALITY: 7");
        compare(Controls.commandResult(true), ["Info", "Command successfully executed!"]);
        compare(Controls.commandResult(false), ["Error", "Command failed!"]);
        compare(Controls.recordingErrorText("disk full"), "Recording failed: disk full");
        compare(Controls.hypnogramChoiceText(120000), "Show full hypnogram or UI history setting (last 120 seconds)");
        compare(Controls.metaInfoText("Started: x\n", "RangeVec = {0.2, 9.4};"),
                "[RECORDING]\n\nStarted: x\n\n[PARAMETER FILE]\n\nRangeVec = {0.2, 9.4};");
    }

    function test_sliderValue_data() {
        return [
            { tag: "in range", value: 50, from: 2, to: 200, step: 1, fallback: 15, result: 50 },
            { tag: "above", value: 500, from: 2, to: 200, step: 1, fallback: 15, result: 200 },
            { tag: "below", value: -4, from: 2, to: 200, step: 1, fallback: 15, result: 2 },
            { tag: "off the step", value: 125, from: 30, to: 300, step: 10, fallback: 120, result: 130 },
            { tag: "fraction of a step", value: 0.55, from: 0.4, to: 5, step: 0.1, fallback: 0.4, result: 0.6 },
            { tag: "text of a number", value: "7", from: 0, to: 9, step: 1, fallback: 5, result: 7 },
            { tag: "not a number", value: "abc", from: 0, to: 9, step: 1, fallback: 5, result: 5 },
            { tag: "nothing", value: undefined, from: 0, to: 9, step: 1, fallback: 5, result: 5 },
            { tag: "infinite", value: Infinity, from: 0, to: 9, step: 1, fallback: 5, result: 5 }
        ];
    }
    function test_sliderValue(data) {
        fuzzyCompare(Settings.sliderValue(data.value, data.from, data.to, data.step, data.fallback), data.result, 1e-9);
    }

    function test_histories_data() {
        return [
            { tag: "two minutes", ms: 120000, range: Settings.presenceHistoryRange, seconds: 120 },
            { tag: "4500 ms, presence", ms: 4500, range: Settings.presenceHistoryRange, seconds: 30 },
            { tag: "4500 ms, breathing pattern", ms: 4500, range: Settings.breathingPatternHistoryRange,
              seconds: 5 },
            { tag: "too long", ms: 4000000, range: Settings.rpmHistoryRange, seconds: 300 },
            { tag: "garbage", ms: "x", range: Settings.distanceHistoryRange, seconds: 120 }
        ];
    }
    function test_histories(data) {
        compare(Settings.historySeconds(data.ms, data.range), data.seconds);
        compare(Settings.historyMilliseconds(data.seconds), data.seconds * 1000);
    }

    function test_hypnogram() {
        compare(Settings.hypnogramMinutes(960), 480);
        compare(Settings.hypnogramMinutes(10), 30);
        compare(Settings.hypnogramMinutes(100000), 600);
        compare(Settings.hypnogramEpochs(480), 960);
    }

    function test_zoneValues_data() {
        // A module from 0.4 to 5.0 m in steps of 0.1, zones 0.2 to 4.6 m long.
        return [
            { tag: "valid", start: 1, end: 3, result: [1, 3] },
            { tag: "off the step", start: 1.04, end: 2.96, result: [1, 3] },
            { tag: "beyond the module", start: 0, end: 9, result: [0.4, 5] },
            { tag: "too short", start: 2, end: 2.1, result: [2, 2.2] },
            { tag: "too short at the far end", start: 5, end: 5, result: [4.8, 5] },
            { tag: "the wrong way round", start: 3, end: 1, result: [1, 3] },
            { tag: "not numbers", start: "x", end: null, result: [0.4, 5] }
        ];
    }
    function test_zoneValues(data) {
        var zone = Settings.zoneValues(data.start, data.end, 0.4, 5, 0.1, 0.2, 4.6);
        fuzzyCompare(zone[0], data.result[0], 1e-9);
        fuzzyCompare(zone[1], data.result[1], 1e-9);
        compare(Settings.defaultZone(0.4, 5, 4.6), [0.4, 5]);
        compare(Settings.defaultZone(0.5, 2.5, 0.7), [0.5, 1.2]);
    }

    function test_choices() {
        compare(Settings.choiceIndex(2, 3, 0), 2);
        compare(Settings.choiceIndex(3, 3, 0), 0);
        compare(Settings.choiceIndex(1.5, 3, 0), 0);
        compare(Settings.frequencyBandIndex(Settings.HighFrequencyBand), 1);
        compare(Settings.frequencyBandIndex(Settings.LowFrequencyBand), 0);
        compare(Settings.frequencyBandOf(1), Settings.HighFrequencyBand);
        compare(Settings.downConversionIndex(0), 0);
        compare(Settings.downConversionIndex(1), 1);
    }

    function test_applyOutcome_data() {
        return [
            { tag: "presence, succeeded", family: true, result: 1, outcome: "success" },
            { tag: "presence, reset", family: true, result: 2, outcome: "recover" },
            { tag: "presence, failed", family: true, result: 0, outcome: "failed" },
            { tag: "respiration, succeeded", family: false, result: 1, outcome: "success" },
            { tag: "respiration, reset", family: false, result: 2, outcome: "success" },
            { tag: "respiration, failed", family: false, result: 0, outcome: "failed" }
        ];
    }
    function test_applyOutcome(data) {
        compare(Settings.applyOutcome(data.family, data.result), data.outcome);
    }

    function test_requiredDataTypes_data() {
        var presence = 0x1000 | 0x2000 | 0x1 | 0x40;
        var adult = 0x4000 | 0x8000 | 0x4 | 0x8 | 0x2 | 0x80;
        return [
            { tag: "presence, all", app: "Presence", types: presence, has: true },
            { tag: "presence, I/Q and byte pulse-Doppler", app: "Presence", types: 0x1000 | 0x2000 | 0x2 | 0x80,
              has: true },
            { tag: "presence, no moving list", app: "Presence", types: presence & ~0x2000, has: false },
            { tag: "presence, no baseband", app: "Presence", types: 0x1000 | 0x2000 | 0x40, has: false },
            { tag: "adult, all", app: "Adult Respiration", types: adult, has: true },
            { tag: "baby, no sleep data", app: "Baby Respiration", types: adult & ~0x4, has: false },
            { tag: "adult, no pulse-Doppler", app: "Adult Respiration", types: adult & ~0x80, has: false },
            { tag: "heart rate, vital signs", app: "Heartrate", types: 0x10000, has: true },
            { tag: "heart rate, none", app: "Heartrate", types: adult, has: false },
            { tag: "the highest bits", app: "Heartrate", types: 0x80010000, has: true }
        ];
    }
    function test_requiredDataTypes(data) {
        compare(Settings.hasRequiredDataTypes(data.app, data.types), data.has);
    }

    function test_unknownApplicationLacksData() {
        ignoreWarning("WARNING: unhandled app name in hasRequiredDataTypes: Sleep");
        verify(!Settings.hasRequiredDataTypes("Sleep", 0xFFFFFFFF));
    }

    function test_outputDefaultsFollowWhatShows() {
        var all = function () { return true; };
        var none = function () { return false; };
        var presence = Settings.outputDefaults("Presence", all);
        compare(presence.basebandAmplitudePhaseOutputEnabled, true);
        compare(presence.basebandOutputEnabled, undefined);
        compare(presence.logPulseDopplerByteEnabled, true);
        compare(presence.logPresenceSingleEnabled, true);
        compare(presence.logPresenceMovingListEnabled, false);
        // Where amplitude/phase does not show, I/Q is the one switched on.
        var iqOnly = Settings.outputDefaults("Presence", function (p) {
            return p !== "basebandAmplitudePhaseOutputEnabled" && p !== "logPulseDopplerByteEnabled";
        });
        compare(iqOnly.basebandOutputEnabled, true);
        compare(iqOnly.logPulseDopplerFloatEnabled, true);
        var heart = Settings.outputDefaults("Heartrate", none);
        compare(heart.logVitalSignsEnabled, true);
        compare(heart.logBreathingPattern, true);
        compare(heart.basebandAmplitudePhaseOutputEnabled, undefined);
        compare(Settings.outputDefaults("Sleep", none).extendedBreathingTelegramEnabled, true);
        compare(Settings.outputDefaults("Sleep", none).logBreathingPattern, false);
    }
}
