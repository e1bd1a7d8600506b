// The chart items drawn for real: when they paint, what a chart of no size
// or a collapsed one keeps, the range-bin strip, the heat map's frame, and
// a page of charts as a user sees it.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/qml"

ShellTestCase {
    id: testCase
    name: "ChartItems"
    // The charts made inside the test case draw only while it shows.
    visible: true
    width: 460
    height: 320

    Item {
        id: stage
        width: 440
        height: 300
    }

    Component {
        id: timeChartComponent
        Chart {
            property real frozenNow: 0
            width: 400
            height: 200
            history: 4000
            min: 0
            max: 100
            function currentTime() {
                return frozenNow > 0 ? frozenNow : Date.now();
            }
        }
    }
    Component {
        id: barChartComponent
        BarChart {
            width: 400
            height: 200
            min: 0
            max: 100
            minX: 0
            maxX: 10
            xStep: 1
        }
    }
    Component {
        id: rangeBinChartComponent
        RangeBinChart {
            width: 400
            height: 200
            min: 0
            max: 1
            rangeBinCount: 10
            rangeBinOffset: 0.4
            rangeBinLength: 0.05
        }
    }
    Component {
        id: sleepChartComponent
        SleepChart {
            width: 400
            height: 200
            minX: -600
            maxX: 0
            labels: ["No Presence", "Awake", "REM", "Light Sleep", "Deep Sleep", "Unknown"]
        }
    }
    Component {
        id: heatMapComponent
        Item {
            property alias chart: frame
            width: 300
            height: 120
            ColormapChart {
                id: frame
                anchors.fill: parent
                minX: 0
                maxX: 9
                xStep: 1
                minPointValue: 0
                maxPointValue: 10
                settleInterval: 50
            }
        }
    }

    function waitForPaint(chart) {
        var before = chart.paintCount;
        tryVerify(function () { return chart.paintCount > before; }, 5000, "the chart does not paint");
    }
    // Waits until the chart has shown the pictures of its paints: the
    // painting thread draws them after the paint.
    function waitForPictures(chart) {
        var seen = -1;
        while (seen !== chart.pictureCount) {
            seen = chart.pictureCount;
            wait(200);
        }
    }
    // Waits until a chart that repaints on its own has shown a picture of
    // every value added so far. A chart whose clock stands still paints the
    // values that came once, and then no more.
    function waitForNewPicture(chart) {
        tryVerify(function () { return !chart.dataPending && chart.paintCount > 0; }, 5000,
                  "the chart does not paint");
        tryVerify(function () { return chart.pictureCount > 0; }, 5000, "no picture is shown");
        waitForPictures(chart);
    }
    function feedSteadily(chart, from, to, value) {
        for (var t = from; t <= to; ++t)
            chart.addPoint({ "x": t, "y": value(t) }, 0);
    }
    function pixel(image, x, y) {
        return String(image.pixel(x, y));
    }

    function test_chartOfNoSizeKeepsItsDataAndDrawsNothing() {
        var chart = createTemporaryObject(timeChartComponent, stage, { "frozenNow": 100000 });
        waitForPaint(chart);
        chart.width = 0;
        var painted = chart.paintCount;
        // 1000 values a second for 4 s: merged by the width the chart had.
        feedSteadily(chart, 96000, 100000, function (t) { return t % 37; });
        verify(chart.points.length >= 399 && chart.points.length <= 402, "entries: " + chart.points.length);
        chart.requestPaint();
        wait(200);
        compare(chart.paintCount, painted, "nothing is drawn on no width");
        chart.width = 400;
        waitForPaint(chart);
        verify(chart.points.length >= 399, "the data are still there");
    }

    function test_chartThatNeverHadASizeStillMergesAndDrops() {
        var chart = createTemporaryObject(timeChartComponent, stage, { "frozenNow": 100000, "width": 0 });
        feedSteadily(chart, 90000, 100000, function (t) { return t % 37; });
        // 4 ms columns of an assumed 1000 px over the last 4 s.
        verify(chart.points.length >= 999 && chart.points.length <= 1002, "entries: " + chart.points.length);
    }

    function test_resetEmptiesBothSeries() {
        var chart = createTemporaryObject(timeChartComponent, stage, { "frozenNow": 100000 });
        chart.addPoint({ "x": 99000, "y": 10 }, 0);
        chart.addPoint2({ "x": 99000, "y": 20 });
        compare(chart.points.length, 1);
        compare(chart.points2.length, 1);
        compare(chart.points2[0].state, undefined, "the second series has no state");
        chart.reset();
        compare(chart.points.length, 0);
        compare(chart.points2.length, 0);
    }

    function test_autoScaleWidensTheRangeAndItsLabels() {
        var chart = createTemporaryObject(timeChartComponent, stage, { "frozenNow": 100000, "autoScale": true,
                                                                       "min": 0, "max": 1 });
        compare(chart.maxLabel.text, "1");
        chart.addPoint({ "x": 99000, "y": 50.2 }, 0);
        compare(chart.max, 56);
        compare(chart.maxLabel.text, "56");
        chart.addPoint({ "x": 99100, "y": -0.5 }, 0);
        fuzzyCompare(chart.min, -0.55, 1e-9);
        compare(chart.minLabel.text, "-0.55");
    }

    function test_tickRowFollowsTheWidth() {
        var chart = createTemporaryObject(timeChartComponent, stage, { "history": 120000 });
        var row = findChild(chart, "tickRow");
        compare(row.ticks.map(function (t) { return t.label; }), ["0", "20", "40", "60", "80", "100", "120"]);
        chart.width = 40;
        compare(row.ticks.map(function (t) { return t.label; }), ["0", "120"]);
    }

    function test_barChartPaintsItsBarsWhenAsked() {
        var chart = createTemporaryObject(barChartComponent, stage);
        waitForPaint(chart);
        for (var i = 0; i < 10; ++i)
            chart.addPoint({ "x": i, "y": i < 5 ? 90 : 10 }, undefined);
        wait(100);
        var before = chart.paintCount;
        chart.requestPaint();
        waitForPaint(chart);
        compare(chart.paintCount, before + 1);
        waitForPictures(chart);
        var image = grabImage(chart.plotArea);
        // A tall bar reaches high up; a short one does not.
        var background = pixel(image, 380, 5);
        verify(pixel(image, 20, 40) !== background, "the first bar rises to 90 %");
        compare(pixel(image, 380, 60), background, "the last bar stays at 10 %");
        verify(pixel(image, 380, 195) !== background, "the last bar stands at the bottom");
    }

    function test_rangeBinStripHoverAndSelection() {
        var chart = createTemporaryObject(rangeBinChartComponent, stage);
        var strip = findChild(chart, "binStrip");
        // Ten cells of 40 px.
        mouseMove(strip, 130, 50);
        tryCompare(chart, "hoveredIndex", 3);
        compare(findChild(chart, "hoveredBinText").text, "3: 0.55 m");
        verify(findChild(chart, "hoveredCell").visible);
        compare(String(findChild(chart, "hoveredCell").color), "#48000000");
        mouseClick(strip, 130, 50);
        compare(chart.selectedIndex, 3);
        verify(findChild(chart, "selectedCell").visible);
        compare(String(findChild(chart, "selectedCell").color), "#6f000000");
        compare(findChild(chart, "selectedDot").width, 14);
        // Another cell moves the selection; the selected one (its dot too)
        // clears it.
        mouseClick(strip, 370, 50);
        compare(chart.selectedIndex, 9);
        var dot = findChild(chart, "selectedDot");
        mouseClick(dot);
        compare(chart.selectedIndex, -1);
        mouseMove(strip, -10, -10);
    }

    function test_rangeBinChartSpreadsTheBinsOverItsWidth() {
        var chart = createTemporaryObject(rangeBinChartComponent, stage);
        fuzzyCompare(chart.minX, 0.375, 1e-9);
        fuzzyCompare(chart.maxX, 0.875, 1e-9);
        compare(chart.xStep, 0.05);
    }

    function test_sleepChartPaintsItsStages() {
        var chart = createTemporaryObject(sleepChartComponent, stage);
        for (var i = 0; i < 20; ++i)
            chart.addPoint({ "x": -600 + i * 30, "y": i < 10 ? 4 : 1 }, i < 10 ? 4 : 1);
        chart.addPoint({ "x": 0, "y": 1 }, 1);
        compare(chart.points.length, 21, "nothing is merged");
        chart.requestPaint();
        waitForPaint(chart);
        waitForPictures(chart);
        var image = grabImage(chart.plotArea);
        // Awake bands in "#42a35c", deep sleep in "#317743", both drawn
        // 80 % over the chart's own fill: green dominates either way.
        var awake = image.pixel(40, 150);
        var deep = image.pixel(300, 20);
        verify(awake.g > awake.r && awake.g > awake.b, "awake is green: " + awake);
        verify(deep.g > deep.r && deep.g > deep.b, "deep sleep is green: " + deep);
        verify(awake.g > deep.g, "awake is the lighter green");
        compare(findChild(chart, "rowLabels").children.length >= 6, true);
    }

    function test_heatMapKeepsItsFramesWhileCollapsed() {
        var holder = createTemporaryObject(heatMapComponent, stage);
        var chart = holder.chart;
        function addFrames(count) {
            for (var f = 0; f < count; ++f) {
                chart.canvas.beginFrame();
                for (var k = 0; k < 10; ++k)
                    chart.canvas.addPoint(Qt.point(k, (k + f) % 10));
                chart.canvas.endFrame();
            }
        }
        addFrames(50);
        compare(chart.canvas.frameCount(), 50);
        wait(100);
        // The section collapses: the frame loses its height for a while.
        holder.height = 0;
        addFrames(5);
        compare(chart.canvas.frameCount(), 55, "no frame is lost while collapsed");
        wait(100);
        addFrames(5);
        compare(chart.canvas.frameCount(), 60, "nor once the collapse has settled");
        verify(!chart.canvas.visible, "nothing is drawn");
        holder.height = 120;
        tryVerify(function () { return chart.canvas.visible; });
        compare(chart.canvas.frameCount(), 60);
        // A frame that stays smaller is followed: its rows are what is kept.
        holder.height = 60;
        wait(150);
        addFrames(1);
        verify(chart.canvas.frameCount() < 60, "frames: " + chart.canvas.frameCount());
    }

    function test_heatMapFrameLabelsAndTicks() {
        var holder = createTemporaryObject(heatMapComponent, stage);
        var chart = holder.chart;
        compare(chart.maxLabel.text, "10");
        chart.maxPointValue = 3.14159;
        compare(chart.maxLabel.text, "3.1");
        compare(chart.canvas.minimumValue, Qt.point(0, 0));
        compare(chart.canvas.maximumValue, Qt.point(9, 3.14159));
        var row = findChild(chart, "tickRow");
        compare(row.ticks[0].label, "0.00");
        compare(row.ticks[0].position, 0);
        chart.orientation = Qt.Horizontal;
        compare(row.ticks[0].position, 1, "a horizontal heat map counts right to left");
    }

    // -- a page of charts over the main window

    function openChartPage(deviceProperties) {
        var devices = listDevices([deviceProperties || { "mockSupportedApps": 0x10 }]);
        createMainWindow();
        deviceManager.setDeviceActivatedAt(1, true);
        devices[1].setDeviceAppActivatedAt(0, true);
        pageStack().push("qrc:///qml/AppMenu.qml", {}, StackView.Immediate);
        var page = pageStack().push(Qt.resolvedUrl("stubs/ChartPage.qml"), {}, StackView.Immediate);
        verify(page, "no chart page");
        compare(pageStack().depth, 3);
        return page;
    }

    function test_chartsPaintOnlyOverTheApplicationPage() {
        var page = openChartPage();
        var chart = page.distanceChart;
        waitForPaint(chart);
        pageStack().push("qrc:///qml/PresenceAppSettings.qml", {}, StackView.Immediate);
        compare(pageStack().depth, 4);
        var painted = chart.paintCount;
        for (var i = 0; i < 100; ++i)
            chart.addPoint({ "x": Date.now() - 1000 + i * 10, "y": 2 }, 1);
        wait(300);
        compare(chart.paintCount, painted, "nothing is painted under the settings page");
        compare(chart.points.length, 2, "the values still arrive");
        pageStack().pop(StackView.Immediate);
        waitForPaint(chart);
    }

    function test_collapsedSectionKeepsItsChartsData() {
        var page = openChartPage();
        var chart = page.distanceChart;
        waitForPaint(chart);
        page.distanceSection.collapsed = true;
        wait(400);
        var now = Date.now();
        for (var t = now - 4000; t <= now; t += 20)
            chart.addPoint({ "x": t, "y": 1 + (t % 7) / 2 }, 0);
        // About one entry per pixel column's 180 ms.
        var kept = chart.points.length;
        verify(kept >= 20, "entries: " + kept);
        page.distanceSection.collapsed = false;
        waitForPaint(chart);
        verify(chart.points.length >= kept, "the data stayed");
    }

    function test_pausedRecordingStandsStill() {
        openChartPage({ "mockSupportedApps": 0x10, "mockDeviceTypeId": 6, "deviceType": "Playback",
                        "playbackState": 1 });
        var chart = currentPage().movementChart;
        waitForPaint(chart);
        deviceManager.activeDevice.playbackState = 2;
        verify(!chart.repainting);
        var painted = chart.paintCount;
        // One paint asked for just before may still come; the timer would
        // paint every 25 ms.
        wait(300);
        verify(chart.paintCount - painted <= 1, "paints while paused: " + (chart.paintCount - painted));
        deviceManager.activeDevice.playbackState = 1;
        verify(chart.repainting);
        waitForPaint(chart);
    }

    function test_lookOfAChartPage() {
        var page = openChartPage();
        var now = 1700000000000;
        page.frozenNow = now;
        // Two minutes: a person walks in (orange band) and out (purple).
        for (var t = now - 120000; t <= now; t += 100) {
            var inside = t > now - 80000 && t < now - 30000;
            page.distanceChart.addPoint({ "x": t, "y": inside ? 2.5 + Math.sin(t / 3000) : NaN }, inside ? 1 : 0);
            page.movementChart.addPoint({ "x": t, "y": inside ? 60 + 30 * Math.sin(t / 2000) : 5 }, inside ? 1 : 0);
            page.movementChart.addPoint2({ "x": t, "y": inside ? 40 + 20 * Math.cos(t / 5000) : 3 });
        }
        for (var f = 0; f < 200; ++f) {
            page.heatMap.canvas.beginFrame();
            for (var k = 0; k < 40; ++k)
                page.heatMap.canvas.addPoint(Qt.point(0.4 + k * 0.115, 50 + 50 * Math.sin(k / 6 + f / 20)));
            page.heatMap.canvas.endFrame();
        }
        waitForNewPicture(page.distanceChart);
        waitForNewPicture(page.movementChart);
        // The charts' clock stands still: nothing asks for frames any more.
        window.update();
        waitForFrames(1);
        window.update();
        waitForFrames(1);
        var problem = screenshots.compareWindow(window, "chart_page");
        verify(problem === "", problem);
    }
}
