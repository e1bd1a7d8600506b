// A TestCase with the main window at hand: createMainWindow() makes a fresh
// main.qml window for the running test function (destroyed after it), with
// the splash ended, over the mock deviceManager, which init() empties.
// Helpers find the window's parts by objectName and wait for the page stack.
import QtQuick 2.15
import QtTest 1.15

TestCase {
    id: shellTest

    when: windowShown

    property var window: null
    readonly property Component mainComponent: Qt.createComponent("qrc:/qml/main.qml")
    // Where the stand-in settings pages lie.
    readonly property string stubFolder: Qt.resolvedUrl("stubs/")

    function init() {
        deviceManager.mockReset();
        window = null;
        frames = 0;
    }

    function createMainWindow() {
        compare(mainComponent.status, Component.Ready, mainComponent.errorString());
        window = createTemporaryObject(mainComponent, shellTest);
        verify(window, "the main window does not load");
        part("splash").dismiss();
        waitForFrames(1);
        return window;
    }

    // Frames the window has shown since createMainWindow().
    property int frames: 0
    Connections {
        target: shellTest.window
        ignoreUnknownSignals: true
        function onFrameSwapped() {
            shellTest.frames += 1;
        }
    }
    // Waits until the window has shown count more frames.
    function waitForFrames(count) {
        var until = frames + count;
        tryVerify(function () { return frames >= until; }, 5000, "the window shows no frame");
    }

    // A part of the window (or of item) by objectName, waiting for views to
    // make their delegates.
    function part(name, item) {
        var found = null;
        tryVerify(function () {
            found = findChild(item || window.contentItem, name);
            return found !== null;
        }, 5000, "no " + name);
        return found;
    }

    function pageStack() {
        return window.pageStack;
    }
    function currentPage() {
        return window.pageStack.currentItem;
    }
    function waitForStack() {
        tryVerify(function () { return !window.pageStack.busy; }, 5000, "the page stack stays busy");
    }

    // A device list of the playback entry and the given modules
    // (MockDevice properties), as a search would give it.
    function listDevices(modules) {
        var list = [deviceManager.mockPlaybackDevice()];
        (modules || []).forEach(function (properties) {
            list.push(deviceManager.mockCreateDevice(properties));
        });
        deviceManager.mockSetDevices(list);
        return list;
    }

    // Waits until the message dialog has faded in, and returns it.
    function openedDialog() {
        var dialog = part("dialog");
        tryVerify(function () { return dialog.isOpen && dialog.opacity === 1; }, 5000, "no message dialog");
        return dialog;
    }

    function clickItem(item) {
        verify(item.visible, "not visible: " + item.objectName);
        mouseClick(item);
    }
}
