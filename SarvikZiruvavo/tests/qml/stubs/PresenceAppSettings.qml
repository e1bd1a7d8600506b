// Stands in for an application's settings page in navigation tests.
import QtQuick 2.15

Item {
    property bool initial: false
    readonly property string stubName: "PresenceAppSettings"
}
