// A page of charts as the application pages build them, with the control
// panel below: two time charts and a heat map in collapsible sections. The
// test feeds them. With frozenNow set the time charts' clock stands at it,
// so that what they draw does not depend on when the picture is taken.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import "qrc:/qml"
import "qrc:/js/global.js" as Global

Item {
    id: page

    readonly property string stubName: "ChartPage"
    readonly property bool isZ7App: true
    property real frozenNow: 0
    readonly property alias distanceChart: distanceChart
    readonly property alias movementChart: movementChart
    readonly property alias heatMap: heatMap
    readonly property alias optionsPanel: optionsPanel
    readonly property alias distanceSection: distanceSection
    readonly property alias heatMapSection: heatMapSection

    ColumnLayout {
        anchors.top: parent.top
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: optionsPanel.top
        anchors.margins: 12
        spacing: 8

        CollapsibleLayoutItem {
            id: distanceSection
            objectName: "distanceSection"
            description: "DISTANCE"
            Chart {
                id: distanceChart
                objectName: "distanceChart"
                anchors.fill: parent
                anchors.topMargin: 28
                history: 120000
                min: 0.4
                max: 5
                function currentTime() {
                    return page.frozenNow > 0 ? page.frozenNow : Date.now();
                }
            }
        }
        CollapsibleLayoutItem {
            objectName: "movementSection"
            description: "MOVEMENT HISTORY"
            Chart {
                id: movementChart
                objectName: "movementChart"
                anchors.fill: parent
                anchors.topMargin: 28
                history: 120000
                min: 0
                max: 100
                lineColor2: Qt.rgba(Global.colormap[255][0], Global.colormap[255][1], Global.colormap[255][2], 1)
                function currentTime() {
                    return page.frozenNow > 0 ? page.frozenNow : Date.now();
                }
            }
        }
        CollapsibleLayoutItem {
            id: heatMapSection
            objectName: "heatMapSection"
            description: "MOVEMENT INTENSITY HISTORY"
            ColormapChart {
                id: heatMap
                objectName: "heatMapFrame"
                anchors.fill: parent
                anchors.topMargin: 28
                minX: 0.4
                maxX: 5
                xStep: 0.5
                minPointValue: 0
                maxPointValue: 100
            }
        }
    }
    OptionsPanel {
        id: optionsPanel
        objectName: "optionsPanel"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        anchors.bottomMargin: 8
        presence: true
        settingsUrl: "qrc:///qml/PresenceAppSettings.qml"
    }
}
