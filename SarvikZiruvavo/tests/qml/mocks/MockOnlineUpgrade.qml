// Stands in for OnlineUpgrade: the outcome of the version check.
import QtQuick 2.15

QtObject {
    property string newVersion: ""
    property string newDescription: ""
    property string newWebpageUrl: ""
}
