// Stands in for DeviceApp, one sensor application of the active device: the
// properties, signals and slots of the real one under the same names.
// execute() reports mockExecuteResult through initializing() and
// initialized() as a real application does around its configure. Everything
// a test uses to arrange or inspect it begins with "mock".
import QtQuick 2.15

QtObject {
    id: app

    enum InitializationResult {
        InitializationFailed,
        InitializationSucceeded,
        InitializationIntentionalReset
    }

    // -- as DeviceApp

    property string appName: ""
    property string descriptiveName: appName
    property real detectionZoneStart: 0
    property real detectionZoneEnd: 0
    property real detectionZoneMin: 0.4
    property real detectionZoneMax: 5
    property real detectionZoneMinLength: 0.4
    property real detectionZoneMaxLength: 4.6
    property real detectionZoneIncrement: 0.1
    property int sensitivity: 5
    property int ledControl: 2
    property int frequencyBand: 3
    property string logDescription: ""
    property string logPath: defaultLogPath()
    property int logSplitSize: 15
    property int logSplitUnit: 0
    property bool basebandOutputEnabled: false
    property bool basebandAmplitudePhaseOutputEnabled: false
    property bool extendedBreathingTelegramEnabled: false
    property bool recordingEnabled: false
    property int frameCounter: 0
    readonly property string swInfo: "About:\nDevice: Sarvik Module\nFW Version: 1.6.8\nSW Version: 2.7.3\n"

    signal initializing
    signal initialized(int result, string errorString)
    signal recordingError(string error)

    function execute(tryReconnect) {
        mockRecord("execute", [tryReconnect === true]);
        initializing();
        initialized(mockExecuteResult, mockExecuteError);
        return mockExecuteResult;
    }
    function saveSettings() {
        mockRecord("saveSettings", []);
    }
    function loadSettings() {
        mockRecord("loadSettings", []);
    }
    function recordLog(enabled) {
        mockRecord("recordLog", [enabled]);
        recordingEnabled = enabled;
    }
    function debug(strLog) {
        console.log(strLog);
    }
    function setLogUrl(url) {
        var path = String(url).replace(/^file:\/\//, "");
        logPath = decodeURIComponent(path);
    }
    function defaultLogPath() {
        return "/tmp/sarvik";
    }
    function logPathContainsNonAscii() {
        return /[^\u0000-\u007f]/.test(logPath);
    }
    // Called by the device when it becomes (or stops being) the active one.
    function connectToDevice() {
        mockRecord("connectToDevice", []);
    }
    function disconnectFromDevice() {
        mockRecord("disconnectFromDevice", []);
    }

    // -- for tests

    property int mockExecuteResult: 1
    property string mockExecuteError: ""
    property var mockCalls: []

    function mockRecord(name, args) {
        var calls = mockCalls;
        calls.push({ "name": name, "args": args });
        mockCalls = calls;
    }
    function mockCallNames() {
        return mockCalls.map(function (call) { return call.name; });
    }
}
