// Stands in for Device, one module (or the playback entry) as the documents
// see it: the properties, signals and slots of the real one under the same
// names (the data signals and the pulse-Doppler slots come from
// MockDeviceBase). Activation makes its applications from mockSupportedApps
// as the real one does from the module's supported-applications mask.
// Everything a test uses to arrange or inspect it begins with "mock".
import QtQuick 2.15
import SarvikMocks 1.0

MockDeviceBase {
    id: device

    // -- as Device

    property string defaultLogPath: "/tmp/sarvik"
    property string deviceName: "Sarvik Module"
    property string deviceFWVersion: "1.6.8"
    property string latestFWVersion: "1.6.8"
    property string deviceInfo: "USB, /dev/ttyACM0, 0001"
    property string deviceType: "USB"
    property string deviceUpgradeInfo: "No upgrade"
    property int basebandScale: 1
    property bool isDeviceUpgrading: false
    property bool isDeviceActive: false
    property bool basebandEnabled: false
    property bool pulseDopplerEnabled: false
    property list<QtObject> deviceApps
    property QtObject activeDeviceApp: null
    readonly property bool isZ7Device: mockDeviceTypeId > 1
    readonly property bool isDaxDevice: mockDeviceTypeId === 7
    readonly property bool inSafeMode: mockConnectionMode === 3
    property bool hasCrashDump: false
    readonly property bool isPlaybackDevice: mockDeviceTypeId === 6
    property bool playbackLoopModeEnabled: false
    property real playbackDuration: 0
    property real playbackPosition: 0
    property int playbackState: 0
    property real playbackRate: 1
    property string playbackParams: ""
    property string playbackMetaString: ""
    property int playbackDataTypes: 0
    property bool supportsFrequencyBandSetting: true
    // FirmwareImage.FirmwareClass and FirmwareImage.FirmwareState values.
    property int firmwareClass: 1
    property int firmwareState: 2
    property bool supportsVitalSignsData: false
    property bool supportsNormalizedMovementList: false
    property bool supportsStoredNoiseMap: false
    property bool supportsDefaultNoiseMap: false

    signal deviceUpgradeProgress(real percent)
    signal deviceModeChanged(int mode)
    signal debug(string strLog)
    signal playbackPositionUpdatedManually
    signal recordingDirectoryReady(string path)
    signal recordingError(string error)

    function setDeviceAppActivatedAt(index, activate) {
        mockRecord("setDeviceAppActivatedAt", [index, activate]);
        if (index < 0 || index >= deviceApps.length)
            return;
        if (activeDeviceApp)
            activeDeviceApp.disconnectFromDevice();
        basebandEnabled = false;
        if (activate) {
            activeDeviceApp = deviceApps[index];
            activeDeviceApp.connectToDevice();
        }
    }
    // Waits for the module as the real one does, in which time
    // mockDuringReconnect, when set, runs.
    function tryReconnect() {
        mockRecord("tryReconnect", []);
        if (typeof mockDuringReconnect === "function")
            mockDuringReconnect();
        return mockTryReconnectResult;
    }
    function setRecordingUrl(url) {
        mockRecord("setRecordingUrl", [String(url)]);
        return mockRecordingAccepted;
    }
    function settingsFileName() {
        return mockSettingsFileName;
    }
    function inBootloaderMode() {
        return mockConnectionMode === 2;
    }
    function errorString() {
        return mockErrorString;
    }
    function recordingErrorString() {
        return mockRecordingAccepted ? "" : mockRecordingError;
    }
    // The noise-map commands block until the module answers;
    // mockDuringCommand, when set, runs meanwhile with the command's name.
    function loadNoiseMap() {
        return mockNoiseMapCommand("loadNoiseMap");
    }
    function storeNoiseMap() {
        return mockNoiseMapCommand("storeNoiseMap");
    }
    function deleteNoiseMap() {
        return mockNoiseMapCommand("deleteNoiseMap");
    }
    function storeCrashDump() {
        mockRecord("storeCrashDump", []);
        return defaultLogPath + "/sarvik_crash_dump_20240101_000000.dat";
    }
    function deleteCrashDump() {
        mockRecord("deleteCrashDump", []);
        hasCrashDump = false;
        return true;
    }
    // As the real one: inactive, upgrading, with the first status text; the
    // test ends the upgrade with mockFinishUpgrade().
    function installFirmware(version) {
        mockRecord("installFirmware", [version]);
        isDeviceActive = false;
        isDeviceUpgrading = true;
        deviceUpgradeInfo = "Please wait while firmware version %1 is installed onto your Sarvik Module".replace("%1",
                                                                                                                 version);
    }

    // -- for tests

    // DeviceType of the module record: 2 a current-chip module, 6 the
    // playback entry, 7 an embedded-platform module.
    property int mockDeviceTypeId: 2
    // 1 normal, 2 bootloader, 3 safe mode.
    property int mockConnectionMode: 1
    // The supported-applications mask.
    property int mockSupportedApps: 0x10
    property bool mockRecordingAccepted: true
    property string mockRecordingError: "not a recording"
    property bool mockTryReconnectResult: true
    property bool mockNoiseMapResult: true
    property string mockErrorString: ""
    property string mockSettingsFileName: "/tmp/sarvik-test/settings.ini"
    property QtObject mockManager: null
    property var mockCalls: []
    property var mockDuringCommand: null
    property var mockDuringReconnect: null
    // The playback properties as written, in order: [name, value].
    property var mockPlaybackWrites: []
    readonly property Component mockAppComponent: Qt.createComponent("MockDeviceApp.qml")

    // The applications by mask bit, in the order the real device makes them.
    readonly property var mockAppTable: [
        { "bit": 0x2, "appName": "Respiration", "descriptiveName": "Respiration" },
        { "bit": 0x8, "appName": "Sleep", "descriptiveName": "Sleep" },
        { "bit": 0x10, "appName": "Presence", "descriptiveName": "Presence" },
        { "bit": 0x20, "appName": "Adult Respiration",
          "descriptiveName": "Respiration_2\nAdult, 0.4-5.0 m range\nFeature Optimized" },
        { "bit": 0x40, "appName": "Baby Respiration",
          "descriptiveName": "Respiration_3\nBaby, 0.4-5.0 m range\nFeature Optimized" },
        { "bit": 0x80, "appName": "Baseband", "descriptiveName": "Baseband" },
        { "bit": 0x100, "appName": "DAX", "descriptiveName": "DAX" },
        { "bit": 0x200, "appName": "Adult Respiration",
          "descriptiveName": "Respiration_4\nAdult, 0.4-3.0 m range\nMemory Optimized" },
        { "bit": 0x400, "appName": "Baby Respiration",
          "descriptiveName": "Respiration_5\nBaby, 0.4-3.5 m range\nMemory Optimized" }
    ]

    function mockRecord(name, args) {
        var calls = mockCalls;
        calls.push({ "name": name, "args": args });
        mockCalls = calls;
    }
    function mockCallNames() {
        return mockCalls.map(function (call) { return call.name; });
    }
    function mockNoiseMapCommand(name) {
        mockRecord(name, []);
        if (typeof mockDuringCommand === "function")
            mockDuringCommand(name);
        return mockNoiseMapResult;
    }
    function mockRecordPlayback(name, value) {
        var writes = mockPlaybackWrites;
        writes.push([name, value]);
        mockPlaybackWrites = writes;
    }
    // The playback as a player would advance it, not a write of the pages.
    function mockAdvancePlayback(position) {
        mockAdvancing = true;
        playbackPosition = position;
        mockAdvancing = false;
    }
    property bool mockAdvancing: false
    onPlaybackStateChanged: mockRecordPlayback("playbackState", playbackState)
    onPlaybackPositionChanged: {
        if (mockAdvancing)
            return;
        mockRecordPlayback("playbackPosition", playbackPosition);
        playbackPositionUpdatedManually();
    }
    onPlaybackRateChanged: mockRecordPlayback("playbackRate", playbackRate)
    onPlaybackLoopModeEnabledChanged: mockRecordPlayback("playbackLoopModeEnabled", playbackLoopModeEnabled)
    // Ends an upgrade begun by installFirmware as the real device does: an
    // empty error text is success.
    function mockFinishUpgrade(errorText) {
        if (errorText) {
            deviceUpgradeInfo = errorText;
            isDeviceUpgrading = false;
            if (mockManager)
                mockManager.upgradeFailed(errorText);
        } else {
            isDeviceUpgrading = false;
            if (mockManager)
                mockManager.upgradeComplete();
        }
    }

    // Activation makes the applications the mask names; deactivation
    // deletes them.
    onIsDeviceActiveChanged: {
        var old = [];
        for (var i = 0; i < deviceApps.length; ++i)
            old.push(deviceApps[i]);
        activeDeviceApp = null;
        var made = [];
        if (isDeviceActive) {
            mockAppTable.forEach(function (row) {
                if (mockSupportedApps & row.bit)
                    made.push(mockAppComponent.createObject(device, {
                        "appName": row.appName,
                        "descriptiveName": row.descriptiveName
                    }));
            });
        }
        deviceApps = made;
        old.forEach(function (app) { app.destroy(); });
    }
}
