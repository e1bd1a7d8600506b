// The application pages as a user sees them, in the main window over the mock
// device manager: the presence page of a live module and of a recording at
// play, each after a few seconds of data, compared with their reference
// pictures (which the README shows too). The data move with the clock: a
// few percent of the pixels may differ.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/js/pages.js" as Pages

ShellTestCase {
    id: testCase
    name: "PageLooks"

    readonly property real tolerance: 0.05
    property var app: null
    property int frame: 0

    // One module frame, as the simulated presence module sends it.
    function feedFrame() {
        if (frame >= 110)
            return;
        frame += 1;
        var t = frame * 50;
        app.frameCounter = frame;
        app.state = t % 8000 < 6000 ? Pages.Presence.PresenceState : Pages.Presence.NoPresenceState;
        app.signalQuality = 7;
        app.objectDistance = 2.2 + 0.6 * Math.sin(t / 1500);
        var slow = [];
        var fast = [];
        for (var k = 1; k < 47; ++k) {
            var near = Math.exp(-Math.pow((0.4 + k * 0.1 - app.objectDistance) / 0.3, 2));
            slow.push(Math.min(100, 90 * near + 5 * Math.sin(k + t / 300)));
            fast.push(Math.min(100, 60 * near * (0.6 + 0.4 * Math.sin(t / 400))));
        }
        app.mockMovement(Math.max.apply(null, slow), Math.max.apply(null, fast), slow, fast);
    }
    Timer {
        id: feeder
        interval: 50
        repeat: true
        onTriggered: testCase.feedFrame()
    }

    function openPresencePage(deviceProperties) {
        var values = deviceProperties;
        values.mockSupportedApps = 0x10;
        values.deviceName = "Sarvik Osprey";
        var devices = listDevices([values]);
        createMainWindow();
        deviceManager.setDeviceActivatedAt(1, true);
        devices[1].setDeviceAppActivatedAt(0, true);
        app = devices[1].activeDeviceApp;
        app.detectionZoneStart = 0.4;
        app.detectionZoneEnd = 5.0;
        app.detectionZoneIncrement = 0.1;
        app.movementSlowFastHistory = 6000;
        pageStack().push("qrc:///qml/AppMenu.qml", {}, StackView.Immediate);
        var page = pageStack().push("qrc:///qml/PresenceApp.qml", {}, StackView.Immediate);
        verify(page, "no presence page");
        // A fixed number of frames, so that the picture does not depend on
        // how many a busy machine managed in a given time.
        frame = 0;
        feeder.start();
        tryVerify(function () { return frame >= 110; }, 30000);
        feeder.stop();
        // Whatever the last ticks took over is shown.
        wait(400);
        window.update();
        waitForFrames(1);
        return page;
    }

    function test_livePresencePage() {
        openPresencePage({});
        var problem = screenshots.compareWindow(window, "presence_page_live", tolerance);
        verify(problem === "", problem);
    }

    function test_presencePageOfARecording() {
        openPresencePage({ "mockDeviceTypeId": 6, "playbackDuration": 600000, "playbackPosition": 0,
                           "playbackState": 1 });
        deviceManager.activeDevice.mockAdvancePlayback(200000);
        var bar = part("playbackBar");
        verify(bar.visible, "the playback bar shows over the page");
        wait(300);
        window.update();
        waitForFrames(1);
        var problem = screenshots.compareWindow(window, "presence_page_playback", tolerance);
        verify(problem === "", problem);
    }
}
