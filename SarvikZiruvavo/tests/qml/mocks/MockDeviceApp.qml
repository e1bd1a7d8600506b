// Stands in for DeviceApp, one sensor application of the active device: the
// properties, signals and slots of the real one under the same names. The
// time-stamped values (state, rpm, distance, ...) come from MockSensorApp.
// execute() reports mockExecuteResult through initializing() and
// initialized() as a real application does around its configure. Everything
// a test uses to arrange or inspect it begins with "mock".
import QtQuick 2.15
import SarvikMocks 1.0

MockSensorApp {
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

    // -- as the applications (each has its own; the mock has them all)

    // The presence family.
    property real movementSlow: -1
    property real movementFast: -1
    property int movementSlowFastHistory: 120000
    property real normalizedMovementSlow: 0
    property real normalizedMovementFast: 0
    property int normalizedMovementSlowFastHistory: 120000
    property int initProgressValue: 0
    readonly property real minimumNormalizedMovementValue: -20.0
    readonly property real maximumNormalizedMovementValue: 30.0
    property bool ioPinControlEnabled: false
    property bool useStoredNoiseMap: true
    property bool useDefaultNoiseMap: true
    property bool logPresenceSingleEnabled: true
    property bool logPresenceMovingListEnabled: false
    property bool logRespirationMovingListEnabled: true
    property bool logRespirationNormalizedMovingListEnabled: false
    property bool logRespirationDetectionListEnabled: true
    property bool logBreathingPattern: true
    property bool logPulseDopplerFloatEnabled: false
    property bool logPulseDopplerByteEnabled: true
    property bool logVitalSignsEnabled: true
    property int hypnogramBufferLength: 960
    property bool showFullHypnogram: true
    readonly property int epochLength: 30
    property int detectionCount: 0
    property real breathingDistance: 0
    property int rpmMin: 8
    property int rpmMax: 30
    readonly property real objectMovementMin: -5.0
    readonly property real objectMovementMax: 5.0
    readonly property real objectDistanceMin: detectionZoneStart
    readonly property real objectDistanceMax: detectionZoneEnd
    readonly property real heartrateMin: 30.0
    readonly property real heartrateMax: 120.0
    // The respiration applications' chart histories, in ms.
    property int rpmHistory: 120000
    property int objectDistanceHistory: 120000
    property int objectMovementHistory: 5000
    // The raw-chip application.
    property int downConversion: 1
    property bool floatDataOutputEnabled: false

    // Switching one of a pair of outputs on switches the other off, as in
    // the real applications.
    onBasebandOutputEnabledChanged: {
        if (basebandOutputEnabled)
            basebandAmplitudePhaseOutputEnabled = false;
    }
    onBasebandAmplitudePhaseOutputEnabledChanged: {
        if (basebandAmplitudePhaseOutputEnabled)
            basebandOutputEnabled = false;
    }
    onLogPulseDopplerFloatEnabledChanged: {
        if (logPulseDopplerFloatEnabled)
            logPulseDopplerByteEnabled = false;
    }
    onLogPulseDopplerByteEnabledChanged: {
        if (logPulseDopplerByteEnabled)
            logPulseDopplerFloatEnabled = false;
    }

    signal movementSlowFastChanged(real movementSlow, real movementFast)
    signal movementSlowFastListChanged(var movementSlowList, var movementFastList)
    signal normalizedMovementSlowFastChanged(real movementSlow, real movementFast)
    signal normalizedMovementSlowFastListChanged(var normalizedMovementSlowList, var normalizedMovementFastList)
    signal hypnogramChanged(var hypnogram)
    signal rawBasebandReceived(int frameCounter, real binLength, real rangeOffset, var amplitudeValues,
                               var phaseValues)
    signal rfDataReceived(int frameCounter, real binLength, real rangeOffset, var values)
    signal initializing
    signal initialized(int result, string errorString)
    signal recordingError(string error)

    // Reports the next of mockExecuteResults (or mockExecuteResult once
    // they are used up). mockDuringExecute, when set, runs while the
    // configure would run, as the real one's event loop runs other events.
    function execute(tryReconnect) {
        mockRecord("execute", [tryReconnect === true]);
        var result = mockExecuteResult;
        if (mockExecuteResults.length > 0) {
            var results = mockExecuteResults;
            result = results.shift();
            mockExecuteResults = results;
        }
        initializing();
        if (typeof mockDuringExecute === "function")
            mockDuringExecute();
        initialized(result, mockExecuteError);
        return result;
    }
    // Records the settings as they stand when saved.
    function saveSettings() {
        mockRecord("saveSettings", [mockSettings()]);
    }
    // Takes the values of mockStored, as the real one reads its settings
    // file.
    function loadSettings() {
        mockRecord("loadSettings", []);
        for (var name in mockStored)
            app[name] = mockStored[name];
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

    // The movement values of one packet: the current values, then the
    // lists when given.
    function mockMovement(slow, fast, slowList, fastList) {
        movementSlow = slow;
        movementFast = fast;
        movementSlowFastChanged(slow, fast);
        if (slowList !== undefined)
            movementSlowFastListChanged(slowList, fastList);
    }

    property int mockExecuteResult: 1
    property var mockExecuteResults: []
    property var mockDuringExecute: null
    // The settings file's values, by property name, that loadSettings takes.
    property var mockStored: ({})
    property string mockExecuteError: ""
    // The settings a page writes, by property name.
    readonly property var mockSettingNames: [
        "detectionZoneStart", "detectionZoneEnd", "sensitivity", "ledControl", "frequencyBand", "logDescription",
        "logPath", "logSplitSize", "logSplitUnit", "movementSlowFastHistory", "ioPinControlEnabled",
        "useStoredNoiseMap", "useDefaultNoiseMap", "hypnogramBufferLength", "rpmHistory", "objectDistanceHistory",
        "objectMovementHistory", "downConversion"
    ]
    property var mockCalls: []

    function mockRecord(name, args) {
        var calls = mockCalls;
        calls.push({ "name": name, "args": args });
        mockCalls = calls;
    }
    function mockCallNames() {
        return mockCalls.map(function (call) { return call.name; });
    }
    function mockSettings() {
        var values = {};
        mockSettingNames.forEach(function (name) { values[name] = app[name]; });
        return values;
    }
}
