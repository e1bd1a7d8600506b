// Stands in for DeviceManager, published to the documents as "deviceManager"
// by the test runner: the properties, signals and slots the documents use,
// under the same names, behaving as the real ones do towards the documents.
// Everything a test uses to arrange or inspect it begins with "mock".
import QtQuick 2.15

QtObject {
    id: manager

    // -- as DeviceManager

    property list<QtObject> devices
    property QtObject activeDevice: null
    readonly property string swInfo: "About:\nSW Version: 2.7.3"
    property QtObject onlineUpgrade: MockOnlineUpgrade {}
    property bool hasSleepAnalysisPlugin: false
    // The images of the active device's firmware class, newest first; none
    // while no device is active.
    readonly property var firmwareImages: activeDevice ? mockFirmwareImages : []

    signal upgradeComplete
    signal upgradeFailed(string reason)
    signal newVersionAvailable
    signal activeDeviceRecovered(bool recovered)

    function setDeviceActivatedAt(index, activate) {
        mockRecord("setDeviceActivatedAt", [index, activate]);
        if (index < 0 || index >= devices.length)
            return;
        if (activeDevice) {
            activeDevice.isDeviceActive = false;
            activeDevice = null;
        }
        if (activate) {
            var device = devices[index];
            activeDevice = device;
            device.isDeviceActive = true;
        }
    }
    function onQmlCompleted() {
        mockRecord("onQmlCompleted", []);
    }
    function clearActiveDevice() {
        mockRecord("clearActiveDevice", []);
        if (!activeDevice)
            return;
        for (var i = 0; i < devices.length; ++i) {
            if (devices[i] === activeDevice) {
                setDeviceActivatedAt(i, false);
                return;
            }
        }
    }
    function recoverActiveDevice() {
        mockRecord("recoverActiveDevice", []);
    }

    // -- for tests

    // Every call of the slots above, in order: { name, args }.
    property var mockCalls: []
    property var mockFirmwareImages: []
    readonly property Component mockDeviceComponent: Qt.createComponent("MockDevice.qml")
    readonly property Component mockFirmwareImageComponent: Qt.createComponent("MockFirmwareImage.qml")

    function mockRecord(name, args) {
        var calls = mockCalls;
        calls.push({ "name": name, "args": args });
        mockCalls = calls;
    }
    // The names of the recorded calls.
    function mockCallNames() {
        return mockCalls.map(function (call) { return call.name; });
    }
    function mockCallCount(name) {
        return mockCallNames().filter(function (called) { return called === name; }).length;
    }
    // Back to no devices, no images, no calls.
    function mockReset() {
        if (activeDevice)
            activeDevice.isDeviceActive = false;
        activeDevice = null;
        var old = [];
        for (var i = 0; i < devices.length; ++i)
            old.push(devices[i]);
        devices = [];
        old.forEach(function (device) { device.destroy(); });
        mockFirmwareImages.forEach(function (image) { image.destroy(); });
        mockFirmwareImages = [];
        hasSleepAnalysisPlugin = false;
        onlineUpgrade.newVersion = "";
        onlineUpgrade.newDescription = "";
        onlineUpgrade.newWebpageUrl = "";
        mockCalls = [];
    }
    // A device made from properties of MockDevice (deviceName, deviceType,
    // mockSupportedApps, ...), not yet in the list.
    function mockCreateDevice(properties) {
        var values = properties || {};
        values.mockManager = manager;
        var device = mockDeviceComponent.createObject(manager, values);
        if (!device)
            console.warn("MockDeviceManager: no device:", mockDeviceComponent.errorString());
        return device;
    }
    // Sets the list as a search result would: the given devices, in order.
    function mockSetDevices(list) {
        var copy = [];
        for (var i = 0; i < list.length; ++i)
            copy.push(list[i]);
        devices = copy;
    }
    // The playback entry the real manager puts in front of every list.
    function mockPlaybackDevice() {
        return mockCreateDevice({
            "deviceName": "Sarvik Playback",
            "deviceInfo": "Playback, from recording",
            "deviceType": "Playback",
            "deviceFWVersion": "playback",
            "latestFWVersion": "",
            "firmwareClass": 0,
            "firmwareState": 4,
            "mockDeviceTypeId": 6,
            "mockSupportedApps": 0x1
        });
    }
    // Firmware images, newest first: [{ version, releasenotes }].
    function mockSetFirmwareImages(list) {
        var images = [];
        for (var i = 0; i < list.length; ++i)
            images.push(mockFirmwareImageComponent.createObject(manager, list[i]));
        mockFirmwareImages = images;
    }
}
