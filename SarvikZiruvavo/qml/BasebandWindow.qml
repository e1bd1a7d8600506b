// The baseband window: the module's baseband frames as amplitude and phase per
// range bin, one bin of them over time, and their history. While it shows,
// the device sends baseband frames; hidden, it stops them.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/pages.js" as Pages

DetailWindow {
    id: window

    readonly property alias rangeBins: rangeBins

    title: "Sarvik Baseband"
    helpTitle: "Baseband"
    helpText: "Baseband Amplitude shows the amplitude of the radar signal per range bin, on a linear or a "
              + "logarithmic scale. Baseband Phase shows its phase per range bin, from -\u03c0 to \u03c0.\n\n"
              + "Click a range bin in either chart to select it; click it again to clear the selection. "
              + "Baseband Single Bin follows the selected amplitude bin and the phase of the selected phase "
              + "bin over time; for a bin other than the first it unwraps the phase as the difference to the "
              + "previous bin.\n\nBaseband History shows the amplitudes or the phases of the past frames."
    frameText: Pages.frameText(rangeBins.shownFrameCounter)

    onVisibleChanged: {
        if (device)
            device.basebandEnabled = visible;
    }
    Component.onDestruction: {
        if (visible && device)
            device.basebandEnabled = false;
    }

    Connections {
        target: window.visible ? window.device : null
        ignoreUnknownSignals: true
        function onSigNewBasebandFrame(contentId, frameCounter, binLength, rangeOffset, amplitudeValues, phaseValues) {
            rangeBins.takeFrame(frameCounter, binLength, rangeOffset, amplitudeValues, phaseValues);
        }
    }

    RangeBinSections {
        id: rangeBins
        objectName: "rangeBins"
        anchors.fill: parent
        device: window.device
    }
}
