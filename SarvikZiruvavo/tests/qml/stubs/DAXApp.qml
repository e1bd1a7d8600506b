// Stands in for an application page in navigation tests.
import QtQuick 2.15

Item {
    readonly property string stubName: "DAXApp"
}
