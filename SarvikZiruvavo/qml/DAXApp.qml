// The raw-chip page: the frame number, and the module's frames over range
// bins, as amplitude and phase (down-converted) or as carrier values.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "../js/global.js" as Global
import "../js/pages.js" as Pages

AppPage {
    id: page

    readonly property bool isDaxApp: true
    readonly property bool carrier: !!app && Number(app.downConversion) === 0
    readonly property alias rangeBins: rangeBins

    helpTitle: "DAX radar data view"
    detailWindows: false
    options.settingsUrl: "qrc:///qml/DAXAppSettings.qml"
    options.showSignalInfo: false
    options.showOptions: false
    options.showBaseband: false
    options.showPulseDoppler: false
    options.showMovement: false

    onChartsReset: rangeBins.reset()

    Connections {
        target: page.app
        ignoreUnknownSignals: true
        function onRawBasebandReceived(frameCounter, binLength, rangeOffset, amplitudeValues, phaseValues) {
            if (!page.carrier)
                rangeBins.takeFrame(frameCounter, binLength, rangeOffset, amplitudeValues, phaseValues);
        }
        function onRfDataReceived(frameCounter, binLength, rangeOffset, values) {
            if (page.carrier)
                rangeBins.takeFrame(frameCounter, binLength, rangeOffset, values, []);
        }
        function onInitialized() {
            rangeBins.reset();
        }
    }

    topContent: Text {
        objectName: "daxFrameText"
        anchors.horizontalCenter: parent ? parent.horizontalCenter : undefined
        text: Pages.frameText(rangeBins.shownFrameCounter)
        color: Global.colorPrimaryWhite
        font.family: Global.fontFamily
        font.pixelSize: 18
        height: implicitHeight + 12
        verticalAlignment: Text.AlignVCenter
    }

    RangeBinSections {
        id: rangeBins
        objectName: "rangeBins"
        Layout.fillWidth: true
        Layout.fillHeight: true
        carrier: page.carrier
        device: page.device
    }
}
