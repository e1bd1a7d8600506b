// The playback bar over an application page of a recording: what it shows
// and what reaches the player.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/js/controls.js" as Controls

ShellTestCase {
    name: "PlaybackBar"

    // A recording of 1 h 2 min 3 s open in the playback device, its
    // application page shown.
    function openRecording(properties) {
        var values = { "mockSupportedApps": 0x10, "mockDeviceTypeId": 6, "deviceType": "Playback",
                       "playbackDuration": 3723000, "playbackPosition": 61000, "playbackState": 1,
                       "playbackLoopModeEnabled": true, "playbackMetaString": "Started: 2024-01-01T00:00:00\n",
                       "playbackParams": "RangeVec = {0.2, 9.4};\n" };
        for (var name in properties)
            values[name] = properties[name];
        var devices = listDevices([values]);
        createMainWindow();
        deviceManager.setDeviceActivatedAt(1, true);
        devices[1].setDeviceAppActivatedAt(0, true);
        pageStack().push("qrc:///qml/AppMenu.qml", {}, StackView.Immediate);
        pageStack().push(Qt.resolvedUrl("stubs/ChartPage.qml"), {}, StackView.Immediate);
        var loader = part("playbackBar");
        tryVerify(function () { return loader.status === Loader.Ready && loader.visible; }, 5000, "no playback bar");
        var device = devices[1];
        device.mockPlaybackWrites = [];
        return { "device": device, "bar": loader.item };
    }
    // Brings the mouse over the bar, which then shows its controls.
    function expand(bar) {
        mouseMove(bar, 40, 3);
        tryVerify(function () { return bar.height === bar.fullHeight; }, 5000, "the bar does not expand");
        tryVerify(function () { return part("playbackControls", bar).opacity === 1; });
    }
    function writes(device, name) {
        return device.mockPlaybackWrites.filter(function (w) { return w[0] === name; })
                .map(function (w) { return w[1]; });
    }

    function test_barShowsOnlyOverApplicationPages() {
        var opened = openRecording();
        verify(part("playbackBar").visible);
        pageStack().push("qrc:///qml/PresenceAppSettings.qml", {}, StackView.Immediate);
        verify(!part("playbackBar").visible, "not over the settings page");
    }

    function test_thinStripUntilTheMouseComes() {
        var bar = openRecording().bar;
        compare(bar.height, bar.thinHeight);
        verify(!part("playbackControls", bar).visible);
        expand(bar);
        mouseMove(part("pageStack"), 300, 500);
        tryVerify(function () { return bar.height === bar.thinHeight; }, 5000, "the bar does not collapse");
    }

    function test_timeText() {
        var opened = openRecording();
        compare(part("timeText", opened.bar).text, "01:01 / 1:02:03");
        opened.device.mockAdvancePlayback(3599000);
        compare(part("timeText", opened.bar).text, "59:59 / 1:02:03");
    }

    function test_playPause() {
        var opened = openRecording();
        var bar = opened.bar;
        expand(bar);
        var button = part("playButton", bar);
        compare(button.character, "\uf04c", "pause while playing");
        clickItem(button);
        compare(opened.device.playbackState, 2);
        compare(button.character, "\uf04b");
        clickItem(button);
        compare(opened.device.playbackState, 1);
        // Stopped at the end: it starts again from 0, position first.
        opened.device.playbackState = 0;
        opened.device.mockPlaybackWrites = [];
        clickItem(button);
        compare(opened.device.mockPlaybackWrites, [["playbackPosition", 0], ["playbackState", 1]]);
    }

    function test_loopAndSpeedReachThePlayer() {
        var opened = openRecording();
        var bar = opened.bar;
        expand(bar);
        clickItem(part("loopButton", bar));
        compare(opened.device.playbackLoopModeEnabled, false);
        clickItem(part("loopButton", bar));
        compare(opened.device.playbackLoopModeEnabled, true);
        var speed = part("speedSlider", bar);
        compare(speed.value, 1);
        compare(speed.from, 0.1);
        compare(speed.to, 20);
        compare(speed.labelText, "1.0 x");
        // Dragging changes the rate on the way, before the release.
        var handleY = speed.topPadding + speed.availableHeight / 2;
        mousePress(speed, speed.leftPadding + 2, handleY);
        mouseMove(speed, speed.width / 2, handleY);
        tryVerify(function () { return writes(opened.device, "playbackRate").length > 0; }, 5000,
                  "no rate while dragging");
        verify(speed.pressed);
        var during = opened.device.playbackRate;
        verify(during > 5 && during < 15, "rate " + during);
        mouseMove(speed, speed.width - 4, handleY);
        mouseRelease(speed, speed.width - 4, handleY);
        verify(opened.device.playbackRate >= 19.5, "rate " + opened.device.playbackRate);
        speed.value = 0.30000000000000004;
        compare(opened.device.playbackRate, 0.3);
    }

    function test_endOfARecordingThatDoesNotLoop() {
        var opened = openRecording({ "playbackLoopModeEnabled": false });
        // The player's last position report lies a little past the end.
        opened.device.mockAdvancePlayback(3723400);
        tryCompare(opened.device, "playbackState", 0, 5000, "stopped");
        compare(writes(opened.device, "playbackPosition"), [3723000], "parked at the end");
    }

    function test_endOfALoopingRecordingGoesOn() {
        var opened = openRecording({ "playbackLoopModeEnabled": true });
        opened.device.mockAdvancePlayback(3723400);
        wait(50);
        compare(opened.device.playbackState, 1);
        compare(writes(opened.device, "playbackPosition"), []);
    }

    function test_pressAndReleaseSeek() {
        var opened = openRecording({ "playbackState": 2 });
        var bar = opened.bar;
        expand(bar);
        var slider = part("positionSlider", bar);
        var y = slider.topPadding + slider.availableHeight / 2;
        var x = slider.leftPadding + slider.availableWidth / 4;
        mousePress(slider, x, y);
        tryVerify(function () { return writes(opened.device, "playbackPosition").length > 0; });
        var pressed = writes(opened.device, "playbackPosition");
        compare(pressed.length, 1, "a press seeks");
        verify(Math.abs(pressed[0] - 3723000 / 4) < 3723000 / 50, "position " + pressed[0]);
        // While pressed the text follows the slider, not the player.
        opened.device.mockAdvancePlayback(0);
        compare(part("timeText", bar).text, Controls.positionText(pressed[0], 3723000));
        mouseRelease(slider, x, y);
        tryVerify(function () { return writes(opened.device, "playbackPosition").length === 2; }, 5000,
                  "and so does a release");
        compare(opened.device.playbackState, 2, "a click leaves a paused recording paused");
    }

    function test_dragPausesAndResumes() {
        var opened = openRecording();
        var bar = opened.bar;
        expand(bar);
        var slider = part("positionSlider", bar);
        var y = slider.topPadding + slider.availableHeight / 2;
        mousePress(slider, slider.leftPadding + 20, y);
        compare(opened.device.playbackState, 1, "a short press is no drag yet");
        tryVerify(function () { return opened.device.playbackState === 2; }, 5000, "a held press pauses");
        mouseMove(slider, slider.width / 2, y);
        // The player's position updates do not move the dragged slider.
        opened.device.mockAdvancePlayback(100);
        verify(slider.value > 0.4, "value " + slider.value);
        mouseRelease(slider, slider.width / 2, y);
        tryCompare(opened.device, "playbackState", 1, 5000, "playing again after the drag");
        compare(writes(opened.device, "playbackState"), [2, 1]);
    }

    function test_infoShowsTheRecordingAndItsParameters() {
        var opened = openRecording();
        expand(opened.bar);
        clickItem(part("infoButton", opened.bar));
        var help = part("help");
        tryVerify(function () { return help.isOpen; });
        compare(part("helpTitle").text, "META INFO");
        compare(part("helpText").text, "[RECORDING]\n\nStarted: 2024-01-01T00:00:00\n\n[PARAMETER FILE]\n\n"
                + "RangeVec = {0.2, 9.4};\n");
    }
}
