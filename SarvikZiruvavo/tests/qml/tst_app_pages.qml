// The application pages and detail windows over the mock device manager: the
// state panels per state, the reconnect, the gaps the states and non-finite
// values make, the frames over range bins and the detail windows' switches.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/js/pages.js" as Pages

ShellTestCase {
    id: testCase
    name: "AppPages"
    visible: true
    width: 820
    height: 960

    Item {
        id: stage
        width: 800
        height: 940
    }

    // An active device of the given mask (and MockDevice properties) with
    // its first application active.
    function activate(mask, properties) {
        var values = properties || {};
        values.mockSupportedApps = mask;
        listDevices([values]);
        deviceManager.setDeviceActivatedAt(1, true);
        var device = deviceManager.activeDevice;
        device.setDeviceAppActivatedAt(0, true);
        verify(device.activeDeviceApp, "no application");
        return device;
    }
    function openPage(name) {
        var component = Qt.createComponent("qrc:/qml/" + name);
        compare(component.status, Component.Ready, component.errorString());
        var page = createTemporaryObject(component, stage, { "width": stage.width, "height": stage.height });
        verify(page, "no page " + name);
        return page;
    }
    function lastPoint(series) {
        verify(series.length > 0, "an empty series");
        return series[series.length - 1];
    }
    // Time stamps a second apart, inside every chart's history.
    property real clock: 0
    function nextTime(app) {
        clock += 1000;
        app.mockTimestamp = clock;
    }
    function init() {
        clock = Date.now() - 60000;
    }

    // -- state panels

    function test_presencePanel_data() {
        return [
            { tag: "no presence", state: 0, text: "NO PRESENCE", spinning: false },
            { tag: "presence", state: 1, text: "PRESENCE", spinning: false },
            { tag: "initializing", state: 2, text: "INITIALIZING\n(MAY TAKE SEVERAL MINUTES)", spinning: true },
            { tag: "unknown", state: 3, text: "UNKNOWN", spinning: false },
            { tag: "no connection", state: 4, text: "NO CONNECTION", spinning: false },
            { tag: "other", state: 17, text: "UNDEFINED", spinning: false }
        ];
    }
    function test_presencePanel(data) {
        var device = activate(0x10);
        var page = openPage("PresenceApp.qml");
        var app = device.activeDeviceApp;
        app.frameCounter = 41;
        app.state = data.state;
        compare(part("stateText", page).text, data.text);
        compare(part("initializingGlyph", page).visible, data.spinning);
        compare(part("frameText", page).visible, !data.spinning);
        if (!data.spinning)
            tryCompare(part("frameText", page), "text", "Frame: 41", 1000, "shown on the next display tick");
        compare(page.helpTitle, "Presence detailed view");
    }

    function test_respirationPanel_data() {
        return [
            { tag: "breathing", state: 0, rpm: 12, distance: 1.24, text: "RESPIRATION", detail: "12 RPM\n1.2 METERS" },
            { tag: "initializing shows the progress", state: 4, rpm: 40, distance: 0, text: "INITIALIZING",
              detail: "40 %" },
            { tag: "movement", state: 1, rpm: 12, distance: 1.24, text: "MOVEMENT", detail: "" },
            { tag: "no connection", state: 7, rpm: 0, distance: 0, text: "NO CONNECTION", detail: "" }
        ];
    }
    function test_respirationPanel(data) {
        var device = activate(0x2, { "mockDeviceTypeId": 1 });
        var page = openPage("RespirationApp.qml");
        var app = device.activeDeviceApp;
        app.state = data.state;
        app.rpm = data.rpm;
        app.objectDistance = data.distance;
        compare(part("stateText", page).text, data.text);
        compare(part("detailText", page).text, data.detail);
        verify(part("frameText", page).visible, "the respiration panel has no turning glyph");
        verify(!part("initializingGlyph", page).visible);
    }

    function test_adultPanel_data() {
        return [
            { tag: "adult, initializing", page: "AdultRespirationApp.qml", mask: 0x20, state: 4,
              text: "INITIALIZING\n(MAY TAKE SEVERAL MINUTES)", spinning: true,
              title: "Adult Respiration detailed view" },
            { tag: "baby, breathing", page: "BabyRespirationApp.qml", mask: 0x40, state: 0, text: "BREATHING",
              spinning: false, title: "Baby Respiration detailed view" },
            { tag: "heart rate", page: "HeartrateApp.qml", mask: 0x20, state: 7, text: "HEARTRATE",
              spinning: false, title: "Heartrate detailed view" },
            { tag: "no connection", page: "AdultRespirationApp.qml", mask: 0x20, state: 8, text: "NO CONNECTION",
              spinning: false, title: "Adult Respiration detailed view" }
        ];
    }
    function test_adultPanel(data) {
        var device = activate(data.mask);
        var page = openPage(data.page);
        device.activeDeviceApp.state = data.state;
        compare(part("stateText", page).text, data.text);
        compare(part("initializingGlyph", page).visible, data.spinning);
        compare(page.helpTitle, data.title);
    }

    // -- reconnect

    function test_reconnectEveryTwoSeconds() {
        var device = activate(0x10);
        var page = openPage("PresenceApp.qml");
        var app = device.activeDeviceApp;
        var started = Date.now();
        app.state = Pages.Presence.NoConnectionState;
        tryVerify(function () { return device.mockCallNames().indexOf("tryReconnect") >= 0; }, 3000);
        verify(Date.now() - started >= 1900, "the first reconnect comes after 2 s");
        tryVerify(function () {
            return device.mockCallNames().filter(function (n) { return n === "tryReconnect"; }).length === 2;
        }, 3000);
        app.state = Pages.Presence.PresenceState;
        var calls = device.mockCalls.length;
        wait(2300);
        compare(device.mockCalls.length, calls, "no reconnect once the module is back");
    }

    function test_reconnectNotStacked() {
        var device = activate(0x20);
        var page = openPage("AdultRespirationApp.qml");
        var panel = page.statePanel;
        device.activeDeviceApp.state = Pages.Adult.NoConnectionState;
        verify(panel.reconnectRunning);
        var nested = 0;
        // The timer fires again while the device waits for the module.
        device.mockDuringReconnect = function () {
            nested += 1;
            verify(panel.reconnecting);
            panel.reconnectTick();
            panel.reconnectTick();
        };
        panel.reconnectTick();
        compare(nested, 1, "the ticks during the reconnect asked for none");
        verify(!panel.reconnecting);
        panel.reconnectTick();
        compare(nested, 2, "the next tick reconnects again");
    }

    // -- values on the charts

    function test_presenceDistanceGaps() {
        var device = activate(0x10);
        var page = openPage("PresenceApp.qml");
        var app = device.activeDeviceApp;
        var chart = part("distanceChart", page);
        app.state = Pages.Presence.PresenceState;
        nextTime(app);
        app.objectDistance = 1.5;
        compare(lastPoint(chart.points).y, 1.5);
        compare(lastPoint(chart.points).state, 1);
        tryCompare(part("sectionValue", part("distanceSection", page)), "text", "1.50");
        nextTime(app);
        app.objectDistance = Infinity;
        verify(isNaN(lastPoint(chart.points).y), "an infinity is a gap");
        app.state = Pages.Presence.NoPresenceState;
        nextTime(app);
        app.objectDistance = 2;
        verify(isNaN(lastPoint(chart.points).y), "no distance without presence");
        compare(lastPoint(chart.points).state, 0, "the gap keeps its state band");
        tryVerify(function () { return !part("sectionValue", part("distanceSection", page)).visible; });
        app.state = Pages.Presence.InitializingState;
        compare(chart.points.length, 0, "initializing starts the chart anew");
        nextTime(app);
        app.objectDistance = 1;
        compare(chart.points.length, 0, "and nothing is added while it lasts");
    }

    function test_presenceMovement() {
        var device = activate(0x10);
        var page = openPage("PresenceApp.qml");
        var app = device.activeDeviceApp;
        var chart = part("movementHistoryChart", page);
        app.state = Pages.Presence.UnknownState;
        app.mockMovement(10, 20);
        verify(isNaN(lastPoint(chart.points).y) && isNaN(lastPoint(chart.points2).y), "hidden while unknown");
        compare(chart.valueText, "");
        wait(200);
        app.state = Pages.Presence.PresenceState;
        app.mockMovement(10, 20);
        compare(lastPoint(chart.points).y, 20, "fast first");
        compare(lastPoint(chart.points2).y, 10, "slow second");
        compare(chart.valueText, "Fast 20.0  Slow 10.0");
        compare(page.options.signalQuality, app.signalQuality, "the signal quality while present");
        app.state = Pages.Presence.NoPresenceState;
        compare(page.options.signalQuality, "N/A");
    }

    function test_presenceLists() {
        var device = activate(0x10);
        var page = openPage("PresenceApp.qml");
        var app = device.activeDeviceApp;
        app.detectionZoneStart = 0.4;
        app.detectionZoneEnd = 0.7;
        app.detectionZoneIncrement = 0.1;
        var bars = part("movementBars", page);
        var maps = part("movementHeatMaps", page);
        app.state = Pages.Presence.UnknownState;
        app.mockMovement(1, 2, [10, 20, 30], [40, 50, 60]);
        compare(bars.slowChart.points.length, 0, "no lists while unknown");
        wait(250);
        compare(maps.slowMap.canvas.frameCount(), 0);
        app.state = Pages.Presence.NoPresenceState;
        // Three lists within one display interval: the bars show the last,
        // the heat maps get a frame of each, all at once.
        var paints = bars.slowChart.paintCount;
        app.mockMovement(1, 2, [1, 1, 1], [1, 1, 1]);
        app.mockMovement(1, 2, [2, 2, 2], [2, 2, 2]);
        app.mockMovement(1, 2, [10, 20, 30], [40, 50, Infinity]);
        tryVerify(function () { return maps.slowMap.canvas.frameCount() === 3; });
        compare(bars.slowChart.points.map(function (p) { return p.y; }), [10, 20, 30]);
        tryVerify(function () { return bars.slowChart.paintCount > paints; });
        wait(100);
        compare(bars.slowChart.paintCount - paints, 1, "one picture for the three lists");
        fuzzyCompare(bars.slowChart.points[2].x, 0.6, 1e-9);
        verify(isNaN(bars.fastChart.points[2].y), "an infinite bar is left out");
        compare(maps.fastMap.canvas.frameCount(), 3);
    }

    function test_respirationValuesOnlyWhileBreathing() {
        var device = activate(0x2, { "mockDeviceTypeId": 1 });
        var page = openPage("RespirationApp.qml");
        var app = device.activeDeviceApp;
        var chart = part("rpmChart", page);
        app.state = Pages.Respiration.MovementState;
        nextTime(app);
        app.rpm = 12;
        verify(isNaN(lastPoint(chart.points).y));
        compare(page.options.signalQuality, "N/A");
        app.state = Pages.Respiration.BreathingState;
        nextTime(app);
        app.rpm = 14;
        compare(lastPoint(chart.points).y, 14);
        verify(!part("movementSection", page).visible, "the movement section is the sleep page's");
    }

    function test_sleepPageShowsMovement() {
        var device = activate(0x8, { "mockDeviceTypeId": 1 });
        var page = openPage("SleepApp.qml");
        var app = device.activeDeviceApp;
        verify(part("movementSection", page).visible);
        app.state = Pages.Respiration.MovementState;
        app.mockMovement(3, 4);
        compare(lastPoint(part("movementHistoryChart", page).points).y, 4);
    }

    function test_heartrateBands() {
        var device = activate(0x20);
        var page = openPage("HeartrateApp.qml");
        var app = device.activeDeviceApp;
        var chart = part("heartrateChart", page);
        verify(part("heartrateSection", page).visible);
        app.state = Pages.Adult.HeartrateState;
        nextTime(app);
        app.mockHeartrate(60, 1.2, 6);
        compare(lastPoint(chart.points).y, 60);
        compare(chart.stateColors[lastPoint(chart.points).state], "#3c9652", "confidence 6 is the middle green");
        nextTime(app);
        app.mockHeartrate(61, 1.2, 8);
        compare(chart.stateColors[lastPoint(chart.points).state], "#317743");
        app.state = Pages.Adult.BreathingState;
        nextTime(app);
        app.mockHeartrate(62, 1.2, 8);
        verify(isNaN(lastPoint(chart.points).y), "the heart rate only in its own state");
    }

    function test_adultPageHasNoHeartrateSections() {
        activate(0x20);
        var page = openPage("AdultRespirationApp.qml");
        verify(!part("heartrateSection", page).visible);
        verify(!part("heartDistanceSection", page).visible);
    }

    function test_adultDistances() {
        var device = activate(0x20);
        var page = openPage("AdultRespirationApp.qml");
        var app = device.activeDeviceApp;
        var chart = part("distanceChart", page);
        app.state = Pages.Adult.BreathingState;
        app.breathingDistance = 1.1;
        app.detectionCount = 1;
        nextTime(app);
        app.objectDistance = 0.9;
        compare(lastPoint(chart.points).y, 0.9);
        verify(isNaN(lastPoint(chart.points2).y), "one detection has no breathing target");
        app.detectionCount = 2;
        nextTime(app);
        app.objectDistance = 0.95;
        compare(lastPoint(chart.points2).y, 1.1);
        app.state = Pages.Adult.MovementState;
        nextTime(app);
        app.objectDistance = 0.8;
        compare(lastPoint(chart.points).y, 0.8, "the closest target while moving");
        verify(isNaN(lastPoint(chart.points2).y));
        nextTime(app);
        app.rpm = 15;
        verify(isNaN(lastPoint(part("rpmChart", page).points).y), "no breathing rate while moving");
        nextTime(app);
        app.rcs = -20;
        compare(lastPoint(part("rcsChart", page).points).y, -20);
    }

    function test_sleepStages() {
        var device = activate(0x20, { "supportsVitalSignsData": true });
        var page = openPage("AdultRespirationApp.qml");
        verify(!part("sleepStageSection", page).visible, "no plug-in, no sleep stages");
        deviceManager.hasSleepAnalysisPlugin = true;
        verify(part("sleepStageSection", page).visible);
        var app = device.activeDeviceApp;
        app.sleepStage = 3;
        app.hypnogramChanged([1, 4]);
        var chart = part("sleepChart", page);
        compare(chart.points.map(function (p) { return [p.x, p.y]; }), [[-60, 1], [-30, 4], [0, 3]]);
        tryCompare(part("sectionValue", part("sleepStageSection", page)), "text", "REM");
        compare(chart.minX, -(960 * 30));
        app.showFullHypnogram = false;
        compare(chart.points.length, 0, "switching the view only clears the drawing");
        compare(chart.minX, -120);
    }

    // -- resets

    function test_chartsStartAnew() {
        var device = activate(0x10);
        var page = openPage("PresenceApp.qml");
        var app = device.activeDeviceApp;
        var chart = part("distanceChart", page);
        app.state = Pages.Presence.PresenceState;
        app.objectDistance = 1;
        verify(chart.points.length > 0);
        app.initializing();
        compare(chart.points.length, 0, "a live module: when the application starts initializing");
        app.objectDistance = 1;
        app.state = Pages.Presence.InitializingState;
        compare(chart.points.length, 0, "and when it enters its initializing state");
    }

    function test_playbackStartsChartsAnew_data() {
        return [
            { tag: "rate", act: function (device) { device.playbackRate = 2; } },
            { tag: "position moved by the user", act: function (device) { device.playbackPosition = 5000; } },
            { tag: "playback starts", act: function (device) { device.playbackState = 1; } }
        ];
    }
    function test_playbackStartsChartsAnew(data) {
        var device = activate(0x10, { "mockDeviceTypeId": 6 });
        var page = openPage("PresenceApp.qml");
        var app = device.activeDeviceApp;
        app.state = Pages.Presence.PresenceState;
        app.objectDistance = 1;
        var chart = part("distanceChart", page);
        verify(chart.points.length > 0);
        app.initializing();
        verify(chart.points.length > 0, "a recording is not reset by the application's configure");
        data.act(device);
        compare(chart.points.length, 0);
    }

    // -- the raw-chip page

    function test_daxBasebandFrames() {
        var device = activate(0x100, { "mockDeviceTypeId": 7 });
        var page = openPage("DAXApp.qml");
        var app = device.activeDeviceApp;
        var bins = page.rangeBins;
        compare(part("noBinText", page).text, "(No amplitude/phase bin selected)");
        app.rawBasebandReceived(7, 0.05, 0.4, [1, 2, 3, 4], [0.1, 0.2, 3.0, -3.0]);
        tryCompare(part("daxFrameText", page), "text", "Frame: 7");
        var amplitude = bins.amplitudeChart;
        compare(amplitude.points.map(function (p) { return p.y; }), [1, 2, 3, 4]);
        fuzzyCompare(amplitude.points[3].x, 0.55, 1e-9);
        compare([amplitude.min, amplitude.max], [1, 4.6]);
        compare(bins.heatMap.canvas.frameCount(), 1);
        bins.phaseChart.selectedIndex = 3;
        verify(!part("noBinText", page).visible);
        app.rawBasebandReceived(8, 0.05, 0.4, [1, 2, 3, 4], [0.1, 0.2, 3.0, -3.0]);
        fuzzyCompare(lastPoint(bins.singleBinChart.points2).y, 6 - 2 * Math.PI, 1e-9);
        app.rfDataReceived(9, 0.05, 0.4, [5, 6]);
        compare(bins.frameCounter, 8, "carrier frames are not drawn in baseband mode");
        app.initialized(1, "");
        compare(amplitude.points.length, 0, "a configured application starts the charts anew");
        compare(bins.singleBinChart.points2.length, 0);
    }

    function test_daxCarrierFrames() {
        var device = activate(0x100, { "mockDeviceTypeId": 7 });
        device.activeDeviceApp.downConversion = 0;
        var page = openPage("DAXApp.qml");
        var app = device.activeDeviceApp;
        verify(!part("phaseSection", page).visible);
        compare(part("noBinText", page).text, "(No carrier frequency bin selected)");
        compare(part("sectionTitle", part("amplitudeSection", page)).text, "Carrier Frequency");
        app.rfDataReceived(3, 0.01, 0.4, [-4, 20, 5]);
        tryVerify(function () { return page.rangeBins.amplitudeChart.points.length === 3; });
        compare([page.rangeBins.rangeMin, page.rangeBins.rangeMax], [-7, 23]);
        verify(!page.options.showSignalInfo, "no legend on the raw-chip page");
    }

    function test_daxScaleChoice() {
        var device = activate(0x100, { "mockDeviceTypeId": 7, "basebandScale": 1 });
        var page = openPage("DAXApp.qml");
        var bins = page.rangeBins;
        bins.amplitudeChart.selectedIndex = 0;
        device.activeDeviceApp.rawBasebandReceived(1, 0.05, 0.4, [1, 2], [0, 0]);
        compare(bins.singleBinChart.points.length, 1);
        tryVerify(function () { return bins.heatMap.canvas.frameCount() === 1; });
        mouseClick(part("choice_logarithmic", page));
        compare(device.basebandScale, 0);
        compare(bins.singleBinChart.points.length, 0, "a new scale clears the single bin");
        compare(bins.heatMap.canvas.frameCount(), 0, "and the amplitude history");
        verify(bins.range.recompute, "the next frame sets the range");
    }

    // -- detail windows

    function test_basebandWindowSwitch() {
        var device = activate(0x10);
        var page = openPage("PresenceApp.qml");
        var window = page.basebandWindow;
        verify(window);
        compare(window.title, "Sarvik Baseband");
        page.options.toggleWindow("baseband");
        verify(window.visible);
        verify(device.basebandEnabled, "showing switches the output on");
        device.sigNewBasebandFrame(1, 12, 0.05, 0.4, [1, 2, 3], [0, 1, 2]);
        compare(window.rangeBins.frames, 1);
        tryCompare(window, "frameText", "Frame: 12");
        page.options.toggleWindow("baseband");
        verify(!device.basebandEnabled, "closing switches it off");
        device.sigNewBasebandFrame(1, 13, 0.05, 0.4, [1, 2, 3], [0, 1, 2]);
        compare(window.rangeBins.frames, 1, "a hidden window draws nothing");
        page.options.toggleWindow("baseband");
        verify(device.basebandEnabled, "reopening switches it on again");
        window.visible = false;
    }

    function test_pulseDopplerWindow() {
        var device = activate(0x20);
        var page = openPage("AdultRespirationApp.qml");
        var window = page.pulseDopplerWindow;
        verify(window, "current-chip modules have the pulse-Doppler window");
        compare(window.title, "Sarvik Pulse-Doppler");
        page.options.toggleWindow("pulseDoppler");
        verify(device.pulseDopplerEnabled);
        device.sigNewPulseDopplerSurfaceDataAvailable(2);
        compare(device.mockSurfaceCalls.length, 0, "instance 2 is ignored");
        device.sigNewPulseDopplerSurfaceDataAvailable(0);
        device.sigNewPulseDopplerSurfaceDataAvailable(1);
        compare(device.mockSurfaceCalls.map(function (c) { return [c.name, c.series, c.instance]; }),
                [["updatePulseDopplerArray", "slowSeries", 0], ["updatePulseDopplerArray", "fastSeries", 1]]);
        device.activeDeviceApp.initializing();
        compare(device.mockSurfaceCalls.slice(2).map(function (c) { return [c.name, c.series]; }),
                [["resetPulseDopplerData", ""], ["resetPulseDopplerArray", "fastSeries"],
                 ["resetPulseDopplerArray", "slowSeries"]]);
        var axis = window.slowSurface.axisY;
        compare([axis.min, axis.max], [-50, 10]);
        window.slowSurface.dragPowerAxis(100);
        compare([axis.min, axis.max], [-48, 12]);
        window.slowSurface.dragPowerAxis(-200);
        compare([axis.min, axis.max], [-52, 8]);
        compare(window.slowSurface.axisZ.title, "Distance (meter)");
        compare(window.slowSurface.gradientStopCount, 257);
        page.options.toggleWindow("pulseDoppler");
        verify(!device.pulseDopplerEnabled);
    }

    function test_presenceHasNoMovementWindow() {
        activate(0x10);
        var page = openPage("PresenceApp.qml");
        verify(!page.movementWindow);
        verify(!part("movementButton", page).visible);
    }

    function test_movementWindow_data() {
        return [
            { tag: "with the normalised list", normalized: true },
            { tag: "without it", normalized: false }
        ];
    }
    function test_movementWindow(data) {
        var device = activate(0x20, { "supportsNormalizedMovementList": data.normalized });
        var page = openPage("AdultRespirationApp.qml");
        var window = page.movementWindow;
        verify(window);
        compare(window.title, "Sarvik Movement");
        page.options.toggleWindow("movement");
        verify(window.visible);
        compare(part("normalizedBarsSection", window.contentItem).visible, data.normalized);
        compare(part("normalizedMapsSection", window.contentItem).visible, data.normalized);
        verify(part("movementBarsSection", window.contentItem).visible);
        var app = device.activeDeviceApp;
        app.state = Pages.Adult.MovementState;
        app.mockMovement(1, 2, [10, 20], [30, 40]);
        app.normalizedMovementSlowFastListChanged([-20, 0], [5, 30]);
        var movementBars = part("movementBars", window.contentItem);
        tryVerify(function () { return movementBars.slowChart.points.length === 2; });
        compare(part("normalizedBars", window.contentItem).fastChart.points.length, data.normalized ? 2 : 0);
        window.visible = false;
    }

    function test_chartColumnHiddenWhileCovered() {
        var devices = listDevices([{ "mockSupportedApps": 0x10 }]);
        createMainWindow();
        deviceManager.setDeviceActivatedAt(1, true);
        devices[1].setDeviceAppActivatedAt(0, true);
        pageStack().push("qrc:///qml/AppMenu.qml", {}, StackView.Immediate);
        var page = pageStack().push("qrc:///qml/PresenceApp.qml", {}, StackView.Immediate);
        var column = part("chartColumn", page);
        verify(column.visible);
        pageStack().push(stubFolder + "PresenceAppSettings.qml");
        waitForStack();
        verify(!column.visible, "hidden under the settings page");
        pageStack().pop();
        waitForStack();
        verify(column.visible);
    }
}
