// The shared widgets' behaviour.
import QtQuick 2.15
import QtQuick.Layouts 1.15
import QtTest 1.15
import "qrc:/qml"
import "qrc:/js/global.js" as Global

TestCase {
    name: "Widgets"
    when: windowShown
    // The widgets are made inside the test case, which draws nothing unless visible.
    visible: true
    width: 400
    height: 400

    Component {
        id: sliderComponent
        StyledSlider { width: 300; from: 0; to: 10; stepSize: 0.5 }
    }
    Component {
        id: triSwitchComponent
        StyledTriSwitch { width: 300 }
    }
    Component {
        id: checkBoxComponent
        CheckBoxOption { text: "Include Baseband I/Q Output" }
    }
    Component {
        id: rangeSliderComponent
        StyledRangeSlider {
            width: 360
            from: 0.4; to: 5; stepSize: 0.1
            minimumLength: 0.4; maximumLength: 4.6
            first.value: 1; second.value: 3
        }
    }
    Component {
        id: buttonComponent
        StyledButton { text: "Apply" }
    }
    Component {
        id: columnComponent
        ColumnLayout {
            width: 300; height: 300; spacing: 0
            CollapsibleLayoutItem { objectName: "first"; description: "DISTANCE" }
            CollapsibleLayoutItem { objectName: "second"; description: "MOVEMENT HISTORY" }
            CollapsibleLayoutItem { objectName: "third"; description: "RPM" }
        }
    }

    function test_sliderLabelShowsTheValueAndUnit() {
        var slider = createTemporaryObject(sliderComponent, this, { "value": 2.5, "fixed": 1, "type": "m" });
        compare(slider.labelText, "2.5 m");
        slider.type = "";
        slider.fixed = 0;
        slider.value = 7;
        compare(slider.labelText, "7");
    }

    function test_triSwitchSnapsAndBoldsTheCurrentLabel() {
        var triSwitch = createTemporaryObject(triSwitchComponent, this);
        compare(triSwitch.labels, ["Off", "Simple", "Full"]);
        triSwitch.value = 2;
        waitForItemPolished(triSwitch);
        verify(findChild(triSwitch, "triSwitchLabel2").font.bold);
        verify(!findChild(triSwitch, "triSwitchLabel0").font.bold);
        triSwitch.labels = ["Off", "Simple", "Full", "Inhale"];
        mouseClick(triSwitch, 2, 10);
        compare(triSwitch.currentIndex, 0);
        tryVerify(function () { return findChild(triSwitch, "triSwitchLabel0") && findChild(triSwitch, "triSwitchLabel0").font.bold; });
    }

    function test_checkBoxLeavesTheFlipToItsOwner() {
        var box = createTemporaryObject(checkBoxComponent, this);
        var clicks = 0;
        box.clicked.connect(function () { clicks += 1; });
        mouseClick(box);
        compare(clicks, 1);
        verify(!box.checked, "the owner flips the bound property");
    }

    function test_rangeSliderPushesTheOtherHandle() {
        var slider = createTemporaryObject(rangeSliderComponent, this);
        slider.first.value = 2.9;
        fuzzyCompare(slider.first.value, 2.9, 1e-6);
        fuzzyCompare(slider.second.value, 3.3, 1e-6);
        slider.first.value = 1;
        fuzzyCompare(slider.second.value, 3.3, 1e-6);
        slider.second.value = 1.2;
        fuzzyCompare(slider.first.value, 0.8, 1e-6);
        fuzzyCompare(slider.second.value, 1.2, 1e-6);
        // Against the end the moved handle stops short.
        slider.second.value = 5;
        slider.first.value = 4.9;
        fuzzyCompare(slider.first.value, 4.6, 1e-6);
        fuzzyCompare(slider.second.value, 5, 1e-6);
    }

    function test_rangeSliderPressTakesTheNearerHandle() {
        var slider = createTemporaryObject(rangeSliderComponent, this);
        // Near the right end: the second handle goes there, the first stays.
        mouseClick(slider, slider.width - slider.rightPadding - 2, slider.height / 2 + 12);
        fuzzyCompare(slider.first.value, 1, 1e-6);
        verify(slider.second.value > 4.8, "second at " + slider.second.value);
    }

    function test_pressedButtonIsDrawnDarker() {
        var button = createTemporaryObject(buttonComponent, this);
        compare(String(button.background.color), String(Qt.darker(Global.colorSecondaryPurple, 1.0)));
        mousePress(button);
        compare(String(button.background.color), String(Qt.darker(Global.colorSecondaryPurple, 1.1)));
        mouseRelease(button);
        button.isDefault = true;
        compare(String(button.background.color), String(Qt.darker(Global.colorPrimaryPurple, 1.0)));
    }

    function test_collapsibleSectionsShareTheColumn() {
        var column = createTemporaryObject(columnComponent, this);
        var first = findChild(column, "first");
        var second = findChild(column, "second");
        tryVerify(function () { return Math.abs(first.height - 100) < 1; }, 2000, "equal thirds");
        mouseClick(findChild(first, "collapseButton"));
        verify(first.collapsed);
        tryCompare(first, "height", first.barHeight, 2000);
        tryVerify(function () { return Math.abs(second.height - (300 - first.barHeight) / 2) < 1; }, 2000);
        mouseClick(findChild(first, "expandBar"));
        verify(!first.collapsed);
        tryVerify(function () { return Math.abs(first.height - 100) < 1; }, 2000, "expanded again");
    }
}
