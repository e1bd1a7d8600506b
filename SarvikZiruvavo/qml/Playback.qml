// The playback bar over the top of an application page while the active
// device plays a recording: the position slider, play/pause, the time text,
// loop, the speed slider and the recording's information. Every value is the
// device's; the bar holds nothing but its widgets. It stays a thin strip
// until the mouse comes over it.
import QtQuick 2.15
import QtQml 2.15
import QtQuick.Controls 2.15
import "../js/global.js" as Global
import "../js/controls.js" as Controls

Item {
    id: playback

    readonly property QtObject device: typeof deviceManager !== "undefined" && deviceManager
                                       ? deviceManager.activeDevice : null
    readonly property real duration: device ? Number(device.playbackDuration) : 0
    readonly property real position: device ? Number(device.playbackPosition) : 0
    readonly property int playbackState: device ? device.playbackState : Controls.StoppedState
    readonly property bool playing: playbackState === Controls.PlayingState
    readonly property bool loopMode: !!device && device.playbackLoopModeEnabled === true
    // The position shown: the slider's while it is pressed.
    readonly property real shownPosition: positionSlider.pressed
                                          ? Controls.positionAt(positionSlider.value, duration) : position
    readonly property string timeText: Controls.positionText(shownPosition, duration)
    property bool expanded: hover.hovered
    readonly property real thinHeight: 6
    readonly property real fullHeight: 96
    // A press held past the drag delay pauses a playing recording until the
    // release.
    property bool dragging: false
    // The slider holds its own value while pressed and for a moment after a
    // press or release, while the player seeks.
    property bool held: false
    property bool resumeAfterDrag: false

    function togglePlay() {
        if (!device)
            return;
        Controls.playPauseWrites(playbackState).forEach(function (write) {
            device[write[0]] = write[1];
        });
    }
    function toggleLoop() {
        if (device)
            device.playbackLoopModeEnabled = !device.playbackLoopModeEnabled;
    }
    function showInfo() {
        if (device)
            help.show(Controls.metaInfoTitle, Controls.metaInfoText(device.playbackMetaString, device.playbackParams));
    }
    function seekToSlider() {
        if (device)
            device.playbackPosition = Controls.positionAt(positionSlider.value, duration);
    }
    function sliderPressed() {
        dragTimer.restart();
        seekToSlider();
    }
    function sliderReleased() {
        dragTimer.stop();
        seekToSlider();
        if (dragging && resumeAfterDrag && device && device.playbackState === Controls.PausedState)
            device.playbackState = Controls.PlayingState;
        dragging = false;
        resumeAfterDrag = false;
    }
    function dragStarted() {
        dragging = true;
        resumeAfterDrag = playing;
        if (playing)
            device.playbackState = Controls.PausedState;
    }
    // A recording that does not loop stops at its end, parked there.
    function checkEnd() {
        if (!device || playbackState === Controls.StoppedState)
            return;
        if (Controls.stopsAtEnd(positionSlider.value, loopMode)) {
            device.playbackState = Controls.StoppedState;
            device.playbackPosition = duration;
        }
    }

    implicitHeight: expanded ? fullHeight : thinHeight
    height: implicitHeight
    clip: true
    Behavior on height {
        NumberAnimation { duration: 200; easing.type: Easing.InOutSine }
    }

    HoverHandler {
        id: hover
    }

    Rectangle {
        anchors.fill: parent
        color: Global.colorSecondaryPurple
        opacity: 0.9
    }
    // The thin strip: how far the recording has played.
    Rectangle {
        objectName: "progressStrip"
        anchors.bottom: parent.bottom
        height: playback.thinHeight
        width: parent.width * Controls.positionRatio(playback.position, playback.duration)
        color: Global.colorSecondaryCyan
        opacity: playback.expanded ? 0 : 1
    }

    Item {
        id: controls
        objectName: "playbackControls"
        anchors.fill: parent
        anchors.leftMargin: 12
        anchors.rightMargin: 12
        opacity: playback.expanded ? 1 : 0
        visible: opacity > 0
        Behavior on opacity {
            NumberAnimation { duration: 200; easing.type: Easing.InOutSine }
        }

        Slider {
            id: positionSlider
            objectName: "positionSlider"
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            from: 0
            to: 1
            height: 28
            background: Rectangle {
                x: positionSlider.leftPadding
                y: positionSlider.topPadding + positionSlider.availableHeight / 2 - height / 2
                width: positionSlider.availableWidth
                height: 4
                radius: 2
                color: Global.colorSecondaryDarkGrey
                Rectangle {
                    width: positionSlider.visualPosition * parent.width
                    height: parent.height
                    radius: 2
                    color: Global.colorSecondaryCyan
                }
            }
            handle: Rectangle {
                x: positionSlider.leftPadding + positionSlider.visualPosition * (positionSlider.availableWidth - width)
                y: positionSlider.topPadding + positionSlider.availableHeight / 2 - height / 2
                width: 18
                height: 18
                radius: 9
                color: positionSlider.pressed ? Global.colorSecondaryLightGrey : Global.colorPrimaryWhite
            }
            // After the event that moved it: the handle has its new value
            // then, and the position it reports is not written back within
            // its own change.
            onPressedChanged: {
                playback.held = true;
                followHold.restart();
                Qt.callLater(pressed ? playback.sliderPressed : playback.sliderReleased);
            }
            onValueChanged: Qt.callLater(playback.checkEnd)
        }
        // The slider follows the position, except while it is pressed and
        // for a moment after a press or release, while the player seeks.
        Binding {
            target: positionSlider
            property: "value"
            value: Controls.positionRatio(playback.position, playback.duration)
            when: !playback.held
            restoreMode: Binding.RestoreNone
        }

        Row {
            anchors.top: positionSlider.bottom
            anchors.left: parent.left
            spacing: 10

            CharacterButton {
                objectName: "playButton"
                width: 36
                height: 36
                character: playback.playing ? Controls.glyphPause : Controls.glyphPlay
                onClicked: playback.togglePlay()
            }
            Text {
                objectName: "timeText"
                anchors.verticalCenter: parent.verticalCenter
                text: playback.timeText
                color: Global.colorPrimaryWhite
                font.family: Global.fontFamily
                font.pixelSize: 14
            }
            CharacterButton {
                objectName: "loopButton"
                width: 36
                height: 36
                character: Controls.glyphLoop
                textColor: playback.loopMode ? Global.colorSecondaryCyan : Global.colorPrimaryWhite
                onClicked: playback.toggleLoop()
            }
        }
        Row {
            anchors.top: positionSlider.bottom
            anchors.right: parent.right
            spacing: 10

            StyledSlider {
                id: speedSlider
                objectName: "speedSlider"
                width: 180
                from: Controls.speedRange.from
                to: Controls.speedRange.to
                stepSize: Controls.speedRange.step
                snapMode: Slider.SnapAlways
                value: Controls.speedRange.initial
                fixed: 1
                type: "x"
                onValueChanged: {
                    if (playback.device)
                        playback.device.playbackRate = Controls.speedValue(value);
                }
            }
            CharacterButton {
                objectName: "infoButton"
                width: 36
                height: 36
                character: Controls.glyphInfo
                onClicked: playback.showInfo()
            }
        }
    }

    Timer {
        id: followHold
        interval: Controls.dragDelay
        onTriggered: playback.held = positionSlider.pressed
    }
    Timer {
        id: dragTimer
        interval: Controls.dragDelay
        onTriggered: {
            if (positionSlider.pressed)
                playback.dragStarted();
        }
    }
}
