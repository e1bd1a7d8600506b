// The settings pages against the mock applications: what they load, what
// "Defaults" restores, what "Apply" stores, in which order it saves and
// executes, how it recovers a module that switches profile, and what a
// recording fixes.
import QtQuick 2.15
import QtQuick.Controls 2.15
import QtTest 1.15
import "qrc:/js/settings.js" as Settings

ShellTestCase {
    name: "SettingsPages"

    // Opens the settings page of application appIndex of a module made from
    // options.device, as the application menu does (without the slides).
    // options.appProps are set on the application first; options.stored is
    // what its settings file holds (loadSettings takes it). A playback
    // device has its recording opened first.
    function openSettings(options) {
        var devices = listDevices([options.device || {}]);
        createMainWindow();
        var device = devices[1];
        deviceManager.setDeviceActivatedAt(1, true);
        if (device.isPlaybackDevice)
            verify(device.setRecordingUrl("file:///tmp/night/sarvik_recording_meta_1.dat"));
        pageStack().push("qrc:///qml/AppMenu.qml", {}, StackView.Immediate);
        var index = options.appIndex || 0;
        var app = device.deviceApps[index];
        var props = options.appProps || {};
        for (var name in props)
            app[name] = props[name];
        app.mockStored = options.stored || {};
        device.setDeviceAppActivatedAt(index, true);
        var page = pageStack().push("qrc:///qml/" + app.appName.replace(/\s/g, "") + "AppSettings.qml",
                                    { "initial": true, "pageFolder": stubFolder }, StackView.Immediate);
        verify(page, "no settings page");
        waitForFrames(1);
        return { "device": device, "app": app, "page": page };
    }
    // Clicks a widget of a settings page, scrolled into view first.
    function press(item, page) {
        var flickable = part("settingsScroll", page || currentPage()).contentItem;
        var top = item.mapToItem(flickable.contentItem, 0, 0).y;
        flickable.contentY = Math.max(0, Math.min(top - 20, flickable.contentHeight - flickable.height));
        waitForFrames(1);
        clickItem(item);
    }
    function widget(name, page) {
        return part(name, page);
    }
    function zone(page) {
        var slider = widget("zoneSlider", page);
        return [Math.round(slider.first.value * 100) / 100, Math.round(slider.second.value * 100) / 100];
    }
    function apply(page) {
        clickItem(widget("applyButton", page));
    }
    function lastSaved(app) {
        var saves = app.mockCalls.filter(function (call) { return call.name === "saveSettings"; });
        verify(saves.length > 0, "no saveSettings");
        return saves[saves.length - 1].args[0];
    }
    function shownOutputs(page) {
        return Settings.outputs.filter(function (output) {
            return widget("output_" + output.property, page).visible;
        }).map(function (output) { return output.property; });
    }

    readonly property var presenceModule: ({ "mockSupportedApps": 0x10, "supportsStoredNoiseMap": true,
                                             "supportsDefaultNoiseMap": true })

    function test_pageByApplication_data() {
        return [
            { tag: "Presence", mask: 0x10, appName: "Presence", title: "Presence Sensor Settings" },
            { tag: "Respiration", mask: 0x2, appName: "Respiration", title: "Respiration Sensor Settings" },
            { tag: "Sleep", mask: 0x8, appName: "Sleep", title: "Sleep Sensor Settings" },
            { tag: "Adult Respiration", mask: 0x20, appName: "Adult Respiration",
              title: "Adult Respiration Sensor Settings" },
            { tag: "Baby Respiration", mask: 0x40, appName: "Baby Respiration",
              title: "Baby Respiration Sensor Settings" },
            { tag: "Baseband", mask: 0x80, appName: "Baseband", title: "Baseband Sensor Settings" },
            { tag: "DAX", mask: 0x100, appName: "DAX", title: "DAX Radar Sensor Settings" }
        ];
    }
    function test_pageByApplication(data) {
        var opened = openSettings({ "device": { "mockSupportedApps": data.mask } });
        var page = opened.page;
        verify(page.initial, "opened from the application menu");
        compare(page.helpTitle, data.title);
        verify(page.helpText.indexOf("Adjust sensor sensitivity from LOW (0) to HIGH (9).") >= 0
               === (data.appName !== "Baseband" && data.appName !== "DAX"));
        compare(widget("settingsHeading", page).text, data.appName + " SETTINGS");
        compare(opened.app.mockCallNames(), ["connectToDevice", "loadSettings"],
                "the page loads the settings as it opens");
        var hasModuleKnobs = data.appName !== "Baseband" && data.appName !== "DAX";
        compare(widget("sensitivitySlider", page).visible, hasModuleKnobs);
        compare(widget("ledSwitch", page).visible, hasModuleKnobs);
        if (hasModuleKnobs)
            compare(widget("ledSwitch", page).labels,
                    data.appName === "Respiration" ? ["Off", "Simple", "Full", "Inhale"] : ["Off", "Simple", "Full"]);
    }

    function test_heartratePageIsAPresencePage() {
        var opened = openSettings({ "device": presenceModule, "appProps": { "appName": "Heartrate" } });
        // The presence page opened for the renamed application; the
        // heart-rate page is pushed over it.
        pageStack().push("qrc:///qml/HeartrateAppSettings.qml", { "initial": true, "pageFolder": stubFolder });
        waitForStack();
        var page = currentPage();
        compare(page.helpTitle, "Heartrate Sensor Settings");
        verify(page.presenceFamily);
        verify(widget("presenceHistorySlider", page).visible);
    }

    function test_presencePageLoadsTheApplicationsValues() {
        var opened = openSettings({
            "device": presenceModule,
            "stored": {
                "detectionZoneStart": 1.2, "detectionZoneEnd": 3.5, "sensitivity": 7, "ledControl": 1,
                "frequencyBand": Settings.HighFrequencyBand, "ioPinControlEnabled": true, "useStoredNoiseMap": true,
                "useDefaultNoiseMap": false, "movementSlowFastHistory": 240000, "logSplitUnit": 2,
                "logSplitSize": 50, "logDescription": "night one", "logPath": "/data/recordings"
            }
        });
        var page = opened.page;
        compare(zone(page), [1.2, 3.5]);
        compare(widget("sensitivitySlider", page).value, 7);
        compare(widget("ledSwitch", page).currentIndex, 1);
        compare(widget("frequencyBandSwitch", page).currentIndex, 1);
        compare(widget("ioPinSwitch", page).currentIndex, 1);
        compare(widget("storedNoiseMapSwitch", page).currentIndex, 1);
        compare(widget("defaultNoiseMapSwitch", page).currentIndex, 0);
        compare(widget("presenceHistorySlider", page).value, 240);
        compare(widget("presenceHistorySlider", page).labelText, "240 seconds");
        compare(widget("splitUnitSwitch", page).currentIndex, 2);
        compare(widget("splitSizeSlider", page).value, 50);
        compare(widget("logDescriptionField", page).text, "night one");
        compare(widget("logFolderButton", page).text, "/data/recordings");
        compare(widget("settingsFileName", page).text, "/tmp/sarvik-test/settings.ini");
    }

    function test_respirationPagesLoadTheirHistories_data() {
        return [
            { tag: "Respiration", mask: 0x2, movement: false },
            { tag: "Sleep", mask: 0x8, movement: true }
        ];
    }
    function test_respirationPagesLoadTheirHistories(data) {
        var page = openSettings({
            "device": { "mockSupportedApps": data.mask },
            "stored": { "rpmHistory": 60000, "objectMovementHistory": 12000, "objectDistanceHistory": 300000,
                        "movementSlowFastHistory": 90000 }
        }).page;
        compare(widget("rpmHistorySlider", page).value, 60);
        compare(widget("breathingPatternHistorySlider", page).value, 12);
        compare(widget("distanceHistorySlider", page).value, 300);
        compare(widget("movementHistorySlider", page).visible, data.movement);
        if (data.movement)
            compare(widget("movementHistorySlider", page).value, 90);
    }

    // A hand-edited settings file: what reaches the widgets, and through
    // Apply the module, is what the page offers.
    function test_settingsFromTheFileAreBroughtIntoRange_data() {
        return [
            { tag: "split value too large", mask: 0x10, stored: { "logSplitSize": 500 }, widget: "splitSizeSlider",
              shown: 200, saved: { "logSplitSize": 200 } },
            { tag: "split value too small", mask: 0x10, stored: { "logSplitSize": 0 }, widget: "splitSizeSlider",
              shown: 2, saved: { "logSplitSize": 2 } },
            { tag: "split unit unknown", mask: 0x10, stored: { "logSplitUnit": 7 }, widget: "splitUnitSwitch",
              shown: 0, saved: { "logSplitUnit": 0 } },
            { tag: "sensitivity too high", mask: 0x10, stored: { "sensitivity": 42 }, widget: "sensitivitySlider",
              shown: 9, saved: { "sensitivity": 9 } },
            { tag: "LED beyond the labels", mask: 0x10, stored: { "ledControl": 3 }, widget: "ledSwitch",
              shown: 2, saved: { "ledControl": 2 } },
            { tag: "history below the least", mask: 0x10, stored: { "movementSlowFastHistory": 4500 },
              widget: "presenceHistorySlider", shown: 30, saved: { "movementSlowFastHistory": 30000 } },
            { tag: "history off the step", mask: 0x10, stored: { "movementSlowFastHistory": 124500 },
              widget: "presenceHistorySlider", shown: 120, saved: { "movementSlowFastHistory": 120000 } },
            { tag: "history too long", mask: 0x10, stored: { "movementSlowFastHistory": 1000000000 },
              widget: "presenceHistorySlider", shown: 600, saved: { "movementSlowFastHistory": 600000 } },
            { tag: "rpm history of 4500 ms", mask: 0x2, stored: { "rpmHistory": 4500 }, widget: "rpmHistorySlider",
              shown: 30, saved: { "rpmHistory": 30000 } },
            { tag: "breathing pattern history of 4500 ms", mask: 0x2, stored: { "objectMovementHistory": 4500 },
              widget: "breathingPatternHistorySlider", shown: 5, saved: { "objectMovementHistory": 5000 } },
            { tag: "zone beyond the module's", mask: 0x10, stored: { "detectionZoneStart": 0.1,
                                                                    "detectionZoneEnd": 9 },
              widget: "zoneSlider", shown: [0.4, 5], saved: { "detectionZoneStart": 0.4, "detectionZoneEnd": 5 } },
            { tag: "zone shorter than the least", mask: 0x10, stored: { "detectionZoneStart": 2,
                                                                       "detectionZoneEnd": 2.1 },
              widget: "zoneSlider", shown: [2, 2.4], saved: { "detectionZoneStart": 2, "detectionZoneEnd": 2.4 } },
            { tag: "zone the wrong way round", mask: 0x10, stored: { "detectionZoneStart": 3,
                                                                    "detectionZoneEnd": 1 },
              widget: "zoneSlider", shown: [1, 3], saved: { "detectionZoneStart": 1, "detectionZoneEnd": 3 } },
            { tag: "band unknown", mask: 0x10, stored: { "frequencyBand": 9 }, widget: "frequencyBandSwitch",
              shown: 0, saved: { "frequencyBand": Settings.LowFrequencyBand } },
            { tag: "radar data type unknown", mask: 0x100, stored: { "downConversion": 5 },
              widget: "radarDataTypeSwitch", shown: 1, saved: { "downConversion": 1 } }
        ];
    }
    function test_settingsFromTheFileAreBroughtIntoRange(data) {
        var opened = openSettings({ "device": { "mockSupportedApps": data.mask }, "stored": data.stored });
        var page = opened.page;
        if (data.widget === "zoneSlider")
            compare(zone(page), data.shown);
        else if (data.widget === "splitUnitSwitch" || data.widget === "ledSwitch"
                 || data.widget === "frequencyBandSwitch" || data.widget === "radarDataTypeSwitch")
            compare(widget(data.widget, page).currentIndex, data.shown);
        else
            compare(widget(data.widget, page).value, data.shown);
        apply(page);
        var saved = lastSaved(opened.app);
        for (var name in data.saved)
            fuzzyCompare(saved[name], data.saved[name], 1e-9, name);
    }

    function test_defaultsRestoreThePagesDefaults() {
        var opened = openSettings({
            "device": presenceModule,
            "stored": {
                "detectionZoneStart": 1.2, "detectionZoneEnd": 3.5, "sensitivity": 7, "ledControl": 0,
                "frequencyBand": Settings.HighFrequencyBand, "ioPinControlEnabled": true, "useStoredNoiseMap": true,
                "useDefaultNoiseMap": true, "movementSlowFastHistory": 240000, "logSplitUnit": 2,
                "logSplitSize": 50, "logDescription": "night one", "logPath": "/data/recordings"
            }
        });
        var page = opened.page;
        var app = opened.app;
        clickItem(widget("defaultsButton", page));
        compare(zone(page), [0.4, 5]);
        compare(widget("sensitivitySlider", page).value, 5);
        compare(widget("ledSwitch", page).currentIndex, 2);
        compare(widget("logDescriptionField", page).text, "");
        compare(widget("logFolderButton", page).text, "/tmp/sarvik");
        compare(app.mockCallNames().indexOf("saveSettings"), -1, "nothing is stored until Apply");
        compare(app.sensitivity, 7);
        apply(page);
        compare(lastSaved(app), {
            "detectionZoneStart": 0.4, "detectionZoneEnd": 5, "sensitivity": 5, "ledControl": 2,
            "frequencyBand": Settings.LowFrequencyBand, "logDescription": "", "logPath": "/tmp/sarvik",
            "logSplitSize": 15, "logSplitUnit": 0, "movementSlowFastHistory": 120000, "ioPinControlEnabled": false,
            "useStoredNoiseMap": false, "useDefaultNoiseMap": false, "hypnogramBufferLength": 960,
            "rpmHistory": 120000, "objectDistanceHistory": 120000, "objectMovementHistory": 5000,
            "downConversion": 1
        });
    }

    function test_defaultsOfTheRespirationHistories() {
        var opened = openSettings({
            "device": { "mockSupportedApps": 0x8 },
            "stored": { "rpmHistory": 60000, "objectMovementHistory": 12000, "objectDistanceHistory": 300000,
                        "movementSlowFastHistory": 90000 }
        });
        clickItem(widget("defaultsButton", opened.page));
        apply(opened.page);
        var saved = lastSaved(opened.app);
        compare([saved.rpmHistory, saved.objectMovementHistory, saved.objectDistanceHistory,
                 saved.movementSlowFastHistory], [120000, 5000, 120000, 120000]);
    }

    // The outputs' defaults are set at once, for the outputs the page shows.
    function test_defaultsOfTheOutputs_data() {
        return [
            { tag: "Presence", mask: 0x10, appName: "Presence", device: {},
              before: { "basebandOutputEnabled": true, "logPresenceSingleEnabled": false,
                        "logPresenceMovingListEnabled": true, "logPulseDopplerFloatEnabled": true },
              after: { "basebandAmplitudePhaseOutputEnabled": true, "basebandOutputEnabled": false,
                       "logPresenceSingleEnabled": true, "logPresenceMovingListEnabled": false,
                       "logPulseDopplerByteEnabled": true, "logPulseDopplerFloatEnabled": false } },
            { tag: "Adult Respiration", mask: 0x20, appName: "Adult Respiration", device: {},
              before: { "logRespirationMovingListEnabled": false, "logRespirationDetectionListEnabled": false,
                        "logBreathingPattern": false, "logVitalSignsEnabled": false },
              after: { "logRespirationMovingListEnabled": true, "logRespirationDetectionListEnabled": true,
                       "logBreathingPattern": true, "logVitalSignsEnabled": false } },
            { tag: "Heartrate", mask: 0x20, appName: "Heartrate", device: { "supportsVitalSignsData": true },
              before: { "logVitalSignsEnabled": false, "logBreathingPattern": false },
              after: { "logVitalSignsEnabled": true, "logBreathingPattern": true } },
            { tag: "Sleep", mask: 0x8, appName: "Sleep", device: {},
              before: { "extendedBreathingTelegramEnabled": false, "logBreathingPattern": true },
              after: { "extendedBreathingTelegramEnabled": true, "logBreathingPattern": false,
                       "basebandAmplitudePhaseOutputEnabled": true } },
            // The raw-chip application shows no baseband outputs: they stay.
            { tag: "DAX", mask: 0x100, appName: "DAX", device: {},
              before: { "basebandOutputEnabled": true, "floatDataOutputEnabled": true },
              after: { "basebandOutputEnabled": true, "basebandAmplitudePhaseOutputEnabled": false,
                       "floatDataOutputEnabled": true } }
        ];
    }
    function test_defaultsOfTheOutputs(data) {
        var device = data.device;
        device.mockSupportedApps = data.mask;
        var opened = openSettings({ "device": device });
        var app = opened.app;
        var page = opened.page;
        if (data.appName !== app.appName) {
            app.appName = data.appName;
            pageStack().push("qrc:///qml/" + data.appName.replace(/\s/g, "") + "AppSettings.qml",
                             { "pageFolder": stubFolder });
            waitForStack();
            page = currentPage();
        }
        for (var name in data.before)
            app[name] = data.before[name];
        clickItem(widget("defaultsButton", page));
        for (name in data.after)
            compare(app[name], data.after[name], name);
        compare(app.mockCallNames().indexOf("saveSettings"), -1);
    }

    function test_applySavesThenExecutesAndOpensTheApplicationPage() {
        var opened = openSettings({ "device": presenceModule });
        var page = opened.page;
        var app = opened.app;
        widget("sensitivitySlider", page).value = 8;
        widget("ledSwitch", page).value = 0;
        apply(page);
        compare(app.mockCallNames(), ["connectToDevice", "loadSettings", "saveSettings", "execute"]);
        compare(app.mockCalls[3].args, [false], "execute() without reconnecting");
        var saved = lastSaved(app);
        compare(saved.sensitivity, 8, "the widgets are stored before the settings are saved");
        compare(saved.ledControl, 0);
        waitForStack();
        compare(pageStack().depth, 3, "the application page took the settings page's place");
        compare(currentPage().stubName, "PresenceApp");
        verify(!part("spinner").shown);
        verify(!part("dialog").isOpen);
    }

    function test_applyFromTheApplicationPageGoesBackToIt() {
        var opened = openSettings({ "device": presenceModule });
        apply(opened.page);
        waitForStack();
        // The control panel's settings button opens the page without initial.
        pageStack().push("qrc:///qml/PresenceAppSettings.qml", { "pageFolder": stubFolder });
        waitForStack();
        compare(pageStack().depth, 4);
        var page = currentPage();
        verify(!page.initial);
        compare(opened.app.mockCallNames().filter(function (n) { return n === "loadSettings"; }).length, 2,
                "the settings load each time the page opens");
        apply(page);
        waitForStack();
        compare(pageStack().depth, 3);
        compare(currentPage().stubName, "PresenceApp");
    }

    function test_applyRecoversAModuleThatSwitchesProfile() {
        var opened = openSettings({ "device": presenceModule,
                                    "appProps": { "mockExecuteResults": [Settings.InitializationIntentionalReset,
                                                                         Settings.InitializationSucceeded] } });
        var page = opened.page;
        apply(page);
        compare(deviceManager.mockCallCount("recoverActiveDevice"), 1);
        verify(part("spinner").shown, "the spinner stays through the reset");
        compare(currentPage(), page);
        // A second Apply while the module resets does nothing.
        page.apply();
        compare(opened.app.mockCallNames().filter(function (n) { return n === "execute"; }).length, 1);
        deviceManager.activeDeviceRecovered(true);
        compare(opened.app.mockCallNames().filter(function (n) { return n === "execute"; }).length, 2,
                "the page executes again once the device is back");
        waitForStack();
        compare(currentPage().stubName, "PresenceApp");
        verify(!part("spinner").shown);
    }

    function test_recoveryThatTimesOutReturnsToTheDeviceMenu() {
        var opened = openSettings({ "device": presenceModule,
                                    "appProps": { "mockExecuteResult": Settings.InitializationIntentionalReset } });
        apply(opened.page);
        deviceManager.activeDeviceRecovered(false);
        var dialog = openedDialog();
        compare(dialog.title, "Error");
        compare(dialog.message, "Failed to initialize Sarvik device!\nTimed out waiting for device to switch profiles.");
        verify(!part("spinner").shown);
        clickItem(part("dialogOkButton"));
        waitForStack();
        compare(pageStack().depth, 1);
        verify(currentPage().isDeviceMenu);
    }

    function test_outcomeByFamily_data() {
        return [
            { tag: "respiration, reset", mask: 0x2, result: Settings.InitializationIntentionalReset, opens: true },
            { tag: "baseband, reset", mask: 0x80, result: Settings.InitializationIntentionalReset, opens: true },
            { tag: "raw chip, reset", mask: 0x100, result: Settings.InitializationIntentionalReset, opens: true },
            { tag: "respiration, failed", mask: 0x2, result: Settings.InitializationFailed, opens: false },
            { tag: "presence, failed", mask: 0x10, result: Settings.InitializationFailed, opens: false }
        ];
    }
    function test_outcomeByFamily(data) {
        var opened = openSettings({ "device": { "mockSupportedApps": data.mask },
                                    "appProps": { "mockExecuteResult": data.result } });
        apply(opened.page);
        compare(deviceManager.mockCallCount("recoverActiveDevice"), 0);
        if (data.opens) {
            waitForStack();
            compare(pageStack().depth, 3);
            verify(currentPage().stubName !== undefined, "the application page opened");
            verify(!part("spinner").shown);
        } else {
            // The main window tells the failure and leads back.
            compare(currentPage(), opened.page);
            verify(!opened.page.applying, "a later Apply runs again");
            compare(openedDialog().title, "Error");
        }
    }

    // The configure spins an event loop: a click on Apply meanwhile must not
    // start a second, nested configure.
    function test_applyWhileTheConfigureRunsDoesNothing() {
        var opened = openSettings({ "device": presenceModule,
                                    "appProps": { "mockExecuteResult": Settings.InitializationFailed } });
        var page = opened.page;
        var app = opened.app;
        var nested = 0;
        app.mockDuringExecute = function () {
            nested += 1;
            verify(!widget("applyButton", page).enabled);
            page.apply();
            widget("applyButton", page).clicked();
        };
        apply(page);
        compare(nested, 1);
        compare(app.mockCallNames().filter(function (n) { return n === "execute"; }).length, 1);
        compare(app.mockCallNames().filter(function (n) { return n === "saveSettings"; }).length, 1);
        // Once it has finished, Apply works again (the failure's dialog
        // would lead back to the device menu).
        openedDialog();
        app.mockDuringExecute = null;
        page.apply();
        compare(app.mockCallNames().filter(function (n) { return n === "execute"; }).length, 2);
    }

    function test_recordingFixesTheModuleSettings() {
        var playback = { "mockDeviceTypeId": 6, "mockSupportedApps": 0x10, "deviceType": "Playback",
                         "playbackDataTypes": 0x1 | 0x80 | 0x1000 | 0x2000 };
        var opened = openSettings({ "device": playback,
                                    "stored": { "sensitivity": 3, "detectionZoneStart": 1,
                                                "detectionZoneEnd": 2, "logSplitSize": 40 } });
        var page = opened.page;
        verify(widget("moduleOverlay", page).visible);
        verify(widget("presenceOptionsOverlay", page).visible);
        // A click on the covered slider reaches nothing.
        var slider = widget("sensitivitySlider", page);
        mouseClick(slider, slider.width - 5, slider.height / 2);
        compare(slider.value, 3);
        clickItem(widget("defaultsButton", page));
        compare(slider.value, 3, "Defaults leaves what the recording fixes");
        compare(zone(page), [1, 2]);
        compare(widget("splitSizeSlider", page).value, 15, "the frame is reset");
        compare(widget("presenceHistorySlider", page).value, 120);
    }

    function test_rawChipRecordingResetsTheFrameOnly() {
        var playback = { "mockDeviceTypeId": 6, "mockSupportedApps": 0x100, "deviceType": "Playback",
                         "playbackDataTypes": 0x400 };
        var opened = openSettings({ "device": playback,
                                    "stored": { "downConversion": 0, "logSplitSize": 40, "logDescription": "x" } });
        var page = opened.page;
        verify(widget("radarOptionsOverlay", page).visible);
        clickItem(widget("defaultsButton", page));
        compare(widget("radarDataTypeSwitch", page).currentIndex, 0);
        compare(widget("logDescriptionField", page).text, "x");
        compare(widget("splitSizeSlider", page).value, 15);
    }

    function test_liveModuleSettingsAreNotCovered() {
        var page = openSettings({ "device": presenceModule }).page;
        verify(!widget("moduleOverlay", page).visible);
        verify(!widget("presenceOptionsOverlay", page).visible);
    }

    function test_recordingThatLacksDataIsToldAfterTheApplicationPageOpens_data() {
        var presenceTypes = 0x1000 | 0x2000 | 0x1 | 0x80;
        return [
            { tag: "presence without pulse-Doppler", mask: 0x10, types: 0x1000 | 0x2000 | 0x1, told: true },
            { tag: "presence with everything", mask: 0x10, types: presenceTypes, told: false },
            { tag: "adult without sleep data", mask: 0x20, types: 0x4000 | 0x8000 | 0x8 | 0x2 | 0x40, told: true },
            { tag: "adult with everything", mask: 0x20, types: 0x4000 | 0x8000 | 0x4 | 0x8 | 0x2 | 0x40,
              told: false },
            // The raw-chip page does not ask.
            { tag: "raw chip", mask: 0x100, types: 0, told: false }
        ];
    }
    function test_recordingThatLacksDataIsToldAfterTheApplicationPageOpens(data) {
        var opened = openSettings({ "device": { "mockDeviceTypeId": 6, "mockSupportedApps": data.mask,
                                                "deviceType": "Playback", "playbackDataTypes": data.types } });
        apply(opened.page);
        waitForStack();
        verify(currentPage().stubName !== undefined, "the application page opened");
        if (data.told) {
            var dialog = openedDialog();
            compare(dialog.title, "Info");
            compare(dialog.message, "Some of the graphs may not update properly due to lack of data in the "
                    + "recording. Click on the info button in the player panel to see which data types are included.");
        } else {
            verify(!part("dialog").isOpen);
        }
    }

    function test_outputsShownByApplication_data() {
        return [
            { tag: "Presence, live", mask: 0x10, device: {},
              shown: ["basebandOutputEnabled", "basebandAmplitudePhaseOutputEnabled", "logPulseDopplerFloatEnabled",
                      "logPulseDopplerByteEnabled", "logPresenceSingleEnabled", "logPresenceMovingListEnabled"] },
            { tag: "Respiration, live", mask: 0x2, device: {},
              shown: ["basebandOutputEnabled", "basebandAmplitudePhaseOutputEnabled", "logBreathingPattern"] },
            { tag: "Sleep, live", mask: 0x8, device: {},
              shown: ["basebandOutputEnabled", "basebandAmplitudePhaseOutputEnabled",
                      "extendedBreathingTelegramEnabled", "logBreathingPattern"] },
            { tag: "Adult, live, no features", mask: 0x20, device: {},
              shown: ["basebandOutputEnabled", "basebandAmplitudePhaseOutputEnabled", "logPulseDopplerFloatEnabled",
                      "logPulseDopplerByteEnabled", "logBreathingPattern", "logRespirationMovingListEnabled",
                      "logRespirationDetectionListEnabled"] },
            { tag: "Adult, live, every feature", mask: 0x20,
              device: { "supportsNormalizedMovementList": true, "supportsVitalSignsData": true },
              shown: ["basebandOutputEnabled", "basebandAmplitudePhaseOutputEnabled", "logPulseDopplerFloatEnabled",
                      "logPulseDopplerByteEnabled", "logBreathingPattern", "logRespirationMovingListEnabled",
                      "logRespirationNormalizedMovingListEnabled", "logRespirationDetectionListEnabled",
                      "logVitalSignsEnabled"] },
            { tag: "Baseband, live", mask: 0x80, device: {},
              shown: ["basebandOutputEnabled", "basebandAmplitudePhaseOutputEnabled"] },
            { tag: "DAX, live", mask: 0x100, device: {}, shown: ["floatDataOutputEnabled"] },
            // A recording shows what it holds, whatever the module reports.
            { tag: "Adult, recording", mask: 0x20,
              device: { "mockDeviceTypeId": 6, "deviceType": "Playback", "supportsVitalSignsData": true,
                        "playbackDataTypes": 0x2 | 0x80 | 0x8000 | 0x40000 },
              shown: ["basebandOutputEnabled", "logPulseDopplerByteEnabled", "logRespirationMovingListEnabled",
                      "logRespirationNormalizedMovingListEnabled"] },
            { tag: "DAX, recording", mask: 0x100,
              device: { "mockDeviceTypeId": 6, "deviceType": "Playback", "playbackDataTypes": 0x400 },
              shown: ["floatDataOutputEnabled"] }
        ];
    }
    function test_outputsShownByApplication(data) {
        var device = data.device;
        device.mockSupportedApps = data.mask;
        var page = openSettings({ "device": device }).page;
        compare(shownOutputs(page), data.shown);
    }

    function test_checkBoxFlipsItsOutputAtOnce() {
        var opened = openSettings({ "device": presenceModule });
        var app = opened.app;
        var box = widget("output_logPresenceMovingListEnabled", opened.page);
        verify(!box.checked);
        press(box);
        verify(app.logPresenceMovingListEnabled);
        verify(box.checked);
        // One of a pair switches the other off, and both boxes show it.
        verify(app.logPulseDopplerByteEnabled);
        press(widget("output_logPulseDopplerFloatEnabled", opened.page));
        verify(app.logPulseDopplerFloatEnabled);
        verify(!widget("output_logPulseDopplerByteEnabled", opened.page).checked);
        compare(app.mockCallNames().indexOf("saveSettings"), -1);
    }

    function test_logFolderChoice_data() {
        return [
            { tag: "plain path", url: "file:///data/nights", windows: true, path: "/data/nights", warned: false },
            { tag: "non-ASCII path on Windows", url: "file:///data/n%C3%A4chte", windows: true,
              path: "/data/n\u00e4chte", warned: true },
            { tag: "non-ASCII path elsewhere", url: "file:///data/n%C3%A4chte", windows: false,
              path: "/data/n\u00e4chte", warned: false }
        ];
    }
    function test_logFolderChoice(data) {
        var opened = openSettings({ "device": presenceModule });
        var section = widget("logFolderButton", opened.page).parent;
        section.windowsPaths = data.windows;
        section.folderChosen(data.url);
        compare(opened.app.logPath, data.path, "the folder is taken");
        compare(widget("logFolderButton", opened.page).text, data.path);
        if (data.warned) {
            var dialog = openedDialog();
            compare(dialog.title, "Info");
            compare(dialog.message, "This path contains non-ascii characters and may not work correctly");
        } else {
            verify(!part("dialog").isOpen);
        }
    }

    function test_sleepAnalysisSection_data() {
        return [
            { tag: "adult with plug-in and vital signs", mask: 0x20, plugin: true, vital: true, shown: true },
            { tag: "baby with plug-in and vital signs", mask: 0x40, plugin: true, vital: true, shown: true },
            { tag: "no plug-in", mask: 0x20, plugin: false, vital: true, shown: false },
            { tag: "no vital signs", mask: 0x20, plugin: true, vital: false, shown: false },
            { tag: "presence", mask: 0x10, plugin: true, vital: true, shown: false }
        ];
    }
    function test_sleepAnalysisSection(data) {
        deviceManager.hasSleepAnalysisPlugin = data.plugin;
        var opened = openSettings({ "device": { "mockSupportedApps": data.mask, "supportsVitalSignsData": data.vital },
                                    "stored": { "hypnogramBufferLength": 120 } });
        var slider = widget("hypnogramLengthSlider", opened.page);
        compare(slider.visible, data.shown);
        compare(opened.page.helpText.indexOf("SLEEP ANALYSIS") >= 0, data.shown);
        if (!data.shown)
            return;
        compare(slider.value, 60, "120 epochs of 30 s");
        compare(slider.labelText, "60 minutes");
        slider.value = 480;
        apply(opened.page);
        compare(lastSaved(opened.app).hypnogramBufferLength, 960);
    }

    function test_optionsTheModuleLacksAreMarked_data() {
        return [
            { tag: "all supported", band: true, stored: true, fallback: true },
            { tag: "none supported", band: false, stored: false, fallback: false },
            { tag: "stored map only", band: true, stored: true, fallback: false }
        ];
    }
    function test_optionsTheModuleLacksAreMarked(data) {
        var page = openSettings({ "device": { "mockSupportedApps": 0x10, "supportsFrequencyBandSetting": data.band,
                                              "supportsStoredNoiseMap": data.stored,
                                              "supportsDefaultNoiseMap": data.fallback } }).page;
        function check(labelName, switchName, text, supported) {
            compare(widget(labelName, page).text, supported ? text : text + " (not supported)");
            compare(widget(switchName, page).enabled, supported);
        }
        check("frequencyBandLabel", "frequencyBandSwitch", "Frequency band", data.band);
        check("storedNoiseMapLabel", "storedNoiseMapSwitch", "Use stored noise map", data.stored);
        check("defaultNoiseMapLabel", "defaultNoiseMapSwitch", "Use default noise map", data.fallback);
        compare(widget("frequencyBandSwitch", page).labels, ["Low (7.290 GHz)", "High (8.748 GHz)"]);
    }

    function test_advancedSettingsShowAndHide() {
        var page = openSettings({ "device": presenceModule }).page;
        var button = widget("advancedButton", page);
        compare(button.text, "Advanced");
        verify(!widget("advancedSettings", page).visible);
        press(button);
        compare(button.text, "Hide advanced");
        verify(widget("advancedSettings", page).visible);
        compare(widget("splitUnitSwitch", page).labels, ["minutes", "kB", "MB"]);
        compare(widget("splitSizeSlider", page).labelText, "15 minutes");
    }

    function test_rawChipRadarOptions() {
        var opened = openSettings({ "device": { "mockSupportedApps": 0x100, "supportsFrequencyBandSetting": false },
                                    "stored": { "downConversion": 0 } });
        var page = opened.page;
        compare(widget("radarDataTypeSwitch", page).labels, ["Radio Frequency (RF)", "Baseband (BB)"]);
        compare(widget("radarDataTypeSwitch", page).currentIndex, 0);
        verify(!widget("frequencyBandSwitch", page).enabled);
        clickItem(widget("defaultsButton", page));
        compare(widget("radarDataTypeSwitch", page).currentIndex, 1);
        apply(page);
        compare(lastSaved(opened.app).downConversion, 1);
    }
}
