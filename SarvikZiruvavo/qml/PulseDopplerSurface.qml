// One pulse-Doppler surface: power (dB) over Doppler frequency and distance,
// coloured by height through a viridis ramp. The right button turns the
// view, the wheel zooms; a left press selects the point under the mouse (and
// shows its slice); dragging the label of the power axis moves that axis'
// range, other labels do not move.
import QtQuick 2.15
import QtDataVisualization 1.2
import "../js/global.js" as Global
import "../js/pages.js" as Pages

Item {
    id: surface

    property real zoneStart: 0
    property real zoneEnd: 1
    property string seriesName: ""
    readonly property alias series: surfaceSeries
    readonly property alias graph: graph
    readonly property alias axisY: powerAxis
    readonly property alias axisZ: distanceAxis
    property real lastY: 0
    // Set once the gradient has its stops.
    property int gradientStopCount: 0

    // Moves the power axis by a drag of pixels upwards; the end in the
    // direction of the movement goes first, so that the range never turns
    // over.
    function dragPowerAxis(pixels) {
        var next = Pages.dragPowerAxis(powerAxis.min, powerAxis.max, pixels);
        if (pixels > 0) {
            powerAxis.max = next.max;
            powerAxis.min = next.min;
        } else {
            powerAxis.min = next.min;
            powerAxis.max = next.max;
        }
    }

    ColorGradient {
        id: gradient
    }

    Surface3D {
        id: graph
        anchors.fill: parent
        shadowQuality: AbstractGraph3D.ShadowQualitySoftLow
        selectionMode: AbstractGraph3D.SelectionSlice | AbstractGraph3D.SelectionItemAndRow
        scene.activeCamera.cameraPreset: Camera3D.CameraPresetIsometricRight
        horizontalAspectRatio: 1

        theme: Theme3D {
            type: Theme3D.ThemeUserDefined
            backgroundColor: Global.colorSecondaryPurple
            windowColor: Global.colorSecondaryPurple
            labelTextColor: Global.colorPrimaryWhite
            labelBackgroundColor: Global.colorSecondaryPurple
            labelBorderEnabled: false
            gridLineColor: Global.colorSecondaryLightGrey
            singleHighlightColor: Global.colorSecondaryOrange
            multiHighlightColor: Global.colorSecondaryCyan
            colorStyle: Theme3D.ColorStyleRangeGradient
            baseGradients: [gradient]
            font.family: Global.fontFamily
            font.pointSize: 36
        }

        axisX: ValueAxis3D {
            title: "Doppler (Hz)"
            titleVisible: true
            labelFormat: "%0.1f"
            labelAutoRotation: 90
        }
        axisY: ValueAxis3D {
            id: powerAxis
            title: "Power (dB)"
            titleVisible: true
            labelFormat: "%i"
            min: -50
            max: 10
            labelAutoRotation: 90
        }
        axisZ: ValueAxis3D {
            id: distanceAxis
            title: "Distance (meter)"
            titleVisible: true
            labelFormat: "%0.2f"
            segmentCount: 10
            min: surface.zoneStart
            max: surface.zoneEnd > surface.zoneStart ? surface.zoneEnd : surface.zoneStart + 1
            labelAutoRotation: 90
        }

        Surface3DSeries {
            id: surfaceSeries
            objectName: surface.seriesName
            drawMode: Surface3DSeries.DrawSurface
            colorStyle: Theme3D.ColorStyleRangeGradient
            baseGradient: gradient
        }
    }

    Component.onCompleted: {
        gradient.stops = Pages.surfaceGradientStops(Global.colormap).map(function (stop) {
            return Qt.createQmlObject("import QtDataVisualization 1.2; ColorGradientStop { position: "
                                      + stop.position + "; color: \"" + stop.color + "\" }", gradient);
        });
        gradientStopCount = gradient.stops.length;
    }

    MouseArea {
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton
        onPressed: {
            graph.scene.selectionQueryPosition = Qt.point(mouse.x, mouse.y);
            surface.lastY = mouse.y;
        }
        onPositionChanged: {
            if (graph.selectedElement === AbstractGraph3D.ElementAxisYLabel)
                surface.dragPowerAxis(surface.lastY - mouse.y);
            surface.lastY = mouse.y;
        }
    }
}
