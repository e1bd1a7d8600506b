// Ticks every display interval, in step with the clock (and so with the
// time charts of a two-minute history and with every other ticker): what a
// page shows of the values that came is taken over on its ticks, so that it
// changes in one window frame instead of one per value.
import QtQuick 2.15
import "../js/charts.js" as Charts

Timer {
    id: ticker

    signal tick

    interval: Charts.nextTickDelay(Date.now(), Charts.displayInterval)
    repeat: true
    onRunningChanged: {
        if (running)
            interval = Charts.nextTickDelay(Date.now(), Charts.displayInterval);
    }
    onTriggered: {
        interval = Charts.nextTickDelay(Date.now(), Charts.displayInterval);
        tick();
    }
}
