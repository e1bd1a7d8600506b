// The pulse-Doppler window: the module's slow and fast pulse-Doppler maps as
// surfaces. While it shows, the device sends them; hidden, it stops them.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/pages.js" as Pages

DetailWindow {
    id: window

    readonly property alias slowSurface: slowSurface
    readonly property alias fastSurface: fastSurface
    readonly property real zoneStart: app ? app.detectionZoneStart : 0
    readonly property real zoneEnd: app ? app.detectionZoneEnd : 1

    title: "Sarvik Pulse-Doppler"
    helpTitle: "Pulse-Doppler"
    helpText: "PULSE-DOPPLER SLOW and PULSE-DOPPLER FAST show the power (dB) the module measures per Doppler "
              + "frequency (Hz) and distance (m), for slow and for fast movement.\n\n"
              + "Hold the right mouse button and move to pan and rotate the view; turn the wheel to zoom.\n"
              + "Drag a label of the power axis to change the range of that axis; the other axes keep "
              + "theirs.\nA left click selects a point and shows its slice; a click on the small view "
              + "returns; a click outside the surface clears the selection."
    frameText: Pages.frameText(app ? app.frameCounter : 0)

    onVisibleChanged: {
        if (device)
            device.pulseDopplerEnabled = visible;
    }
    Component.onDestruction: {
        if (visible && device)
            device.pulseDopplerEnabled = false;
    }

    Connections {
        target: window.visible ? window.device : null
        ignoreUnknownSignals: true
        function onSigNewPulseDopplerSurfaceDataAvailable(dopplerInstance) {
            var which = Pages.surfaceOfInstance(dopplerInstance);
            if (which === "slow")
                window.device.updatePulseDopplerArray(slowSurface.series, 0);
            else if (which === "fast")
                window.device.updatePulseDopplerArray(fastSurface.series, 1);
        }
    }
    Connections {
        target: window.app
        ignoreUnknownSignals: true
        function onInitializing() {
            if (!window.device)
                return;
            window.device.resetPulseDopplerData();
            window.device.resetPulseDopplerArray(fastSurface.series);
            window.device.resetPulseDopplerArray(slowSurface.series);
        }
    }

    ColumnLayout {
        anchors.fill: parent
        spacing: 6

        ChartSection {
            objectName: "slowSection"
            description: "PULSE-DOPPLER SLOW"
            PulseDopplerSurface {
                id: slowSurface
                objectName: "slowSurface"
                seriesName: "slowSeries"
                anchors.fill: parent
                zoneStart: window.zoneStart
                zoneEnd: window.zoneEnd
            }
        }
        ChartSection {
            objectName: "fastSection"
            description: "PULSE-DOPPLER FAST"
            PulseDopplerSurface {
                id: fastSurface
                objectName: "fastSurface"
                seriesName: "fastSeries"
                anchors.fill: parent
                zoneStart: window.zoneStart
                zoneEnd: window.zoneEnd
            }
        }
    }
}
